#include "heron/check_point_run.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/operations.h"
#include "heron/check_point_file.h"
#include "heron/run_policy.h"
#include "platform/code_page.h"
#include "platform/input_file.h"
#include "platform/paths.h"
#include "report/sheet_row.h"
#include "report/sheet_writing.h"
#include "report/workbook_run.h"
#include "report/workbook_session.h"

namespace qx::heron {

namespace {
using automation::AutomationObject;
using platform::Buttons;
using report::WorkbookSession;

constexpr const char* kDataFileUnreadable = "打开 excel 的临时文件错误!";
constexpr const char* kHeaderShort = "读头信息错误!";
constexpr const char* kTemplateMissing = "模板文件“%s”, 不存在!";
constexpr const char* kApartmentFailed = "初始化环境失败!";
constexpr const char* kServerNotStarted = "无法启动Excel服务器!";
constexpr const char* kTemplateNotEmpty = "模板文件“%s”, 不是一个空的表格, 请清除表格内的内容!";
constexpr const char* kBodyShort = "读表体信息错误!";

std::optional<CheckPointFile> openDataFile(const RunFiles& files, int opening) {
  if (files.beforeOpeningDataFile) files.beforeOpeningDataFile(opening);
  return CheckPointFile::open(files.dataFile);
}

std::string withTemplatePath(const char* pattern, const std::string& templatePath) {
  return platform::format(pattern, platform::gbkToUtf8(templatePath).c_str());
}

void writeHeaderTexts(const AutomationObject& usedRange, const CheckPointHeader& header) {
  if (header.text1Flag != 0) {
    report::writeCell(usedRange, header.text1Row, header.text1Col, header.text1);
  }
  if (header.text2Flag != 0) {
    report::writeCell(usedRange, header.text2Row, header.text2Col, header.text2);
  }
  if (header.text3Flag != 0) {
    report::writeCell(usedRange, header.text3Row, header.text3Col, header.text3);
  }
}

// The field a spec letter selects; null for "w" and for characters that take no column.
const std::string* selectedField(const CheckPointRow& record, char letter) {
  switch (letter) {
    case 'a':
      return &record.fieldA;
    case 'b':
      return &record.fieldB;
    case 'c':
      return &record.fieldC;
    case 'd':
      return &record.fieldD;
    default:
      return nullptr;
  }
}

// One body row: each of a, b, c, d writes its field and frames the cell; "w" frames the cell
// and leaves the template's content; any other character takes no column.
void writeBodyRow(WorkbookSession& session, const CheckPointRow& record, std::string_view spec,
                  int row, std::int32_t weight) {
  int column = 1;
  for (const char letter : spec) {
    const std::string* field = selectedField(record, letter);
    if (field == nullptr && letter != 'w') continue;
    if (field != nullptr) {
      report::writeCell(session.usedRange, row, column, *field, session.writtenCell);
    }
    report::frameCell(session.sheet, column, row, weight, session.framedCell);
    ++column;
  }
}

// The ends of the run after the template was opened and before anything was written: the
// workbooks are closed and the server quit, so nothing of the run stays behind.
RunEnd closeAndQuit(WorkbookSession& session) {
  automation::workbooksClose(session.workbooks);
  automation::applicationQuit(session.application);
  session.release();
  return RunEnd::Stopped;
}

// Everything from opening the template to the save. `first` is the header of the first
// reading: it alone decides the template, the emptiness check and the first body row.
RunEnd fillTemplate(const RunFiles& files, const CheckPointHeader& first, WorkbookSession& session,
                    std::optional<CheckPointFile>& data, platform::Messages& messages) {
  report::openTemplate(session, first.templatePath);

  if (!report::readCellText(session.usedRange, first.firstRow, 1).empty()) {
    messages.show(withTemplatePath(kTemplateNotEmpty, first.templatePath), Buttons::Ok);
    automation::workbookClose(session.workbook, automation::Variant::missing(),
                              automation::Variant::text(platform::gbkToUtf16(first.templatePath)),
                              automation::Variant::missing());
    return closeAndQuit(session);
  }

  data = openDataFile(files, 2);
  if (!data) {
    messages.show(kDataFileUnreadable, Buttons::Ok);
    return closeAndQuit(session);
  }
  CheckPointHeader header;
  if (data->readHeader(header) != ReadResult::Complete) {
    messages.show(kHeaderShort, Buttons::OkCancel);
    data->close();
    return closeAndQuit(session);
  }

  writeHeaderTexts(session.usedRange, header);
  std::int64_t row = first.firstRow;
  CheckPointRow record;
  for (std::int32_t i = 0; i < header.rowCount; ++i, ++row) {
    if (data->readRow(record) != ReadResult::Complete) {
      // The rows written so far stay in the open, unsaved workbook for the user to see.
      messages.show(kBodyShort, Buttons::OkCancel);
      data->close();
      session.release();
      return RunEnd::Stopped;
    }
    const int sheetRow = report::sheetRow(row, automation::op::kRangeItemPut, kRunPolicy);
    writeBodyRow(session, record, header.columnSpec, sheetRow, header.borderWeight);
  }
  data->close();

  // A missing picture has been told to the user by placePicture; the workbook is saved anyway.
  report::placePicture(session.sheet.copy(), header.pictureCell1, header.pictureCell2,
                       files.picture, *kRunPolicy.picture, messages);
  report::saveWorkbook(session);
  session.release();
  return RunEnd::Saved;
}
}  // namespace

RunFiles fixedRunFiles() {
  RunFiles files;
  files.dataFile = platform::tempFile("check_point_temp.dat");
  files.picture = platform::hostTextFromPath(platform::tempFile("set_check_point_pictrue.bmp"));
  return files;
}

int exitCodeFor(RunEnd end) {
  return end == RunEnd::AutomationFailure ? 2 : 0;
}

RunEnd runCheckPointExport(const RunFiles& files, platform::Messages& messages) {
  CheckPointHeader first;
  {
    std::optional<CheckPointFile> data = openDataFile(files, 1);
    if (!data) {
      messages.show(kDataFileUnreadable, Buttons::Ok);
      return RunEnd::Stopped;
    }
    if (data->readHeader(first) != ReadResult::Complete) {
      messages.show(kHeaderShort, Buttons::OkCancel);
      data->close();
      return RunEnd::Stopped;
    }
    data->close();
  }

  if (!platform::canOpenForReading(platform::pathFromHostText(first.templatePath))) {
    messages.show(withTemplatePath(kTemplateMissing, first.templatePath), Buttons::Ok);
    return RunEnd::Stopped;
  }

  // Destroyed in reverse order: the data file closes, then the run releases the session (the
  // Application last) and uninitialises COM.
  report::WorkbookRun run(kRunPolicy, messages);
  std::optional<CheckPointFile> data;
  if (!run.leaseApartment()) {
    messages.show(kApartmentFailed, Buttons::Ok);
    return RunEnd::Stopped;
  }
  if (!run.startServer()) {
    messages.show(kServerNotStarted, Buttons::Ok);
    return RunEnd::Stopped;
  }
  // Input sheet writing cannot name (a frame above the sheet's first row) ends the run as a failed
  // call does: one message, every reference released, not left to a line no user sees.
  RunEnd end = RunEnd::AutomationFailure;
  run.guarded([&] { end = fillTemplate(files, first, run.session(), data, messages); },
              [&] { data.reset(); });
  return end;
}

}  // namespace qx::heron
