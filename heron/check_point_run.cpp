#include "heron/check_point_run.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "heron/body_reader.h"
#include "heron/check_point_file.h"
#include "heron/run_policy.h"
#include "platform/code_page.h"
#include "platform/input_file.h"
#include "platform/paths.h"
#include "report/workbook_run.h"

namespace qx::heron {

namespace {
using platform::Buttons;
using report::Outcome;

constexpr const char* kDataFileUnreadable = "打开 excel 的临时文件错误!";
constexpr const char* kHeaderShort = "读头信息错误!";
constexpr const char* kTemplateNotEmpty = "模板文件“%s”, 不是一个空的表格, 请清除表格内的内容!";
constexpr const char* kBodyShort = "读表体信息错误!";

std::optional<CheckPointFile> openDataFile(const RunFiles& files, int opening) {
  if (files.beforeOpeningDataFile) files.beforeOpeningDataFile(opening);
  return CheckPointFile::open(files.dataFile);
}

std::string withTemplatePath(const char* pattern, const std::string& templatePath) {
  return platform::format(pattern, platform::gbkToUtf8(templatePath).c_str());
}

void writeHeaderTexts(report::Table& table, const CheckPointHeader& header) {
  if (header.text1Flag != 0) table.write(header.text1Row, header.text1Col, header.text1);
  if (header.text2Flag != 0) table.write(header.text2Row, header.text2Col, header.text2);
  if (header.text3Flag != 0) table.write(header.text3Row, header.text3Col, header.text3);
}

// The field a spec letter selects; null for "w" and for characters that take no column.
const std::u16string* selectedField(const BodyRecord& record, char letter) {
  if (letter < 'a' || letter > 'd') return nullptr;
  return &record.fields[static_cast<std::size_t>(letter - 'a')];
}

// One body row: each of a, b, c, d writes its field and frames the cell; "w" frames the cell
// and leaves the template's content; any other character takes no column.
void writeBodyRow(report::Table& table, const BodyRecord& record, std::string_view spec,
                  std::int64_t row, std::int32_t weight) {
  int column = 1;
  for (const char letter : spec) {
    const std::u16string* field = selectedField(record, letter);
    if (field == nullptr && letter != 'w') continue;
    if (field != nullptr) table.write(row, column, *field);
    table.frame(column, row, weight);
    ++column;
  }
}

// Everything from opening the template to the save. `first` is the header of the first
// reading: it alone decides the template, the emptiness check and the first body row. The
// ends after the template was opened and before anything was written abandon the workbook, so
// nothing of the run stays behind.
Outcome fillTemplate(const RunFiles& files, const CheckPointHeader& first, report::WorkbookRun& run,
                     std::optional<CheckPointFile>& data, platform::Messages& messages) {
  run.openTemplate(first.templatePath);
  report::Table& table = run.table();

  if (!table.readText(first.firstRow, 1).empty()) {
    messages.show(withTemplatePath(kTemplateNotEmpty, first.templatePath), Buttons::Ok);
    run.closeTemplate();
    run.abandon();
    return Outcome::Stopped;
  }

  data = openDataFile(files, 2);
  if (!data) {
    messages.show(kDataFileUnreadable, Buttons::Ok);
    run.abandon();
    return Outcome::Stopped;
  }
  CheckPointHeader header;
  if (data->readHeader(header) != ReadResult::Complete) {
    messages.show(kHeaderShort, Buttons::OkCancel);
    data->close();
    run.abandon();
    return Outcome::Stopped;
  }

  writeHeaderTexts(table, header);
  std::int64_t row = first.firstRow;
  bool complete = true;
  {
    BodyReader records(*data, header.rowCount, header.columnSpec, files.readAhead);
    for (std::int32_t i = 0; i < header.rowCount && complete; ++i, ++row) {
      const BodyRecord* record = records.next();
      complete = record != nullptr;
      if (complete) writeBodyRow(table, *record, header.columnSpec, row, header.borderWeight);
    }
  }  // the reading thread has stopped before the file is closed
  if (!complete) {
    // The rows written so far stay in the open, unsaved workbook for the user to see.
    messages.show(kBodyShort, Buttons::OkCancel);
    data->close();
    return Outcome::Stopped;
  }
  data->close();

  // A missing picture has been told to the user by placePicture; the workbook is saved anyway.
  table.placePicture(header.pictureCell1, header.pictureCell2, files.picture);
  run.save();
  return Outcome::Saved;
}
}  // namespace

RunFiles fixedRunFiles() {
  RunFiles files;
  files.dataFile = platform::tempFile("check_point_temp.dat");
  files.picture = platform::hostTextFromPath(platform::tempFile("set_check_point_pictrue.bmp"));
  files.readAhead = readAheadByDefault();
  return files;
}

int exitCodeFor(Outcome outcome) {
  return outcome == Outcome::Failed ? 2 : 0;
}

Outcome runCheckPointExport(const RunFiles& files, platform::Messages& messages) {
  CheckPointHeader first;
  {
    std::optional<CheckPointFile> data = openDataFile(files, 1);
    if (!data) {
      messages.show(kDataFileUnreadable, Buttons::Ok);
      return Outcome::Stopped;
    }
    if (data->readHeader(first) != ReadResult::Complete) {
      messages.show(kHeaderShort, Buttons::OkCancel);
      data->close();
      return Outcome::Stopped;
    }
    data->close();
  }

  // Destroyed in reverse order: the data file closes, then the run releases the session (the
  // Application last) and uninitialises COM.
  report::WorkbookRun run(kRunPolicy, messages);
  std::optional<CheckPointFile> data;
  if (!run.checkTemplate(first.templatePath) || !run.start()) return Outcome::Stopped;
  // Input sheet writing cannot name (a frame above the sheet's first row) ends the run as a failed
  // call does: one message, every reference released, not left to a line no user sees.
  return run.guarded([&] { return fillTemplate(files, first, run, data, messages); },
                     [&] { data.reset(); });
}

}  // namespace qx::heron
