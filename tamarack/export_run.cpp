#include "tamarack/export_run.h"

#include <exception>
#include <optional>
#include <string>

#include "automation/apartment.h"
#include "automation/automation_error.h"
#include "automation/code_page.h"
#include "automation/failure_report.h"
#include "automation/operations.h"
#include "automation/sheet_moves.h"
#include "automation/workbook_session.h"
#include "platform/paths.h"
#include "platform/record_chain.h"
#include "tamarack/language_file.h"
#include "tamarack/result_records.h"
#include "tamarack/result_table.h"

namespace qx::tamarack {

namespace {

using automation::WorkbookSession;
using platform::Buttons;

// A record that names no header block is as good as none: reading through it would bring the
// host down.
std::optional<TransferRecord> usable(std::optional<TransferRecord> record) {
  if (record && record->headerAddress == 0) return std::nullopt;
  return record;
}

// One run's texts and files. A lookup that fails has shown its own message already; the run
// then ends without the message it wanted and without that message's closing steps.
class ExportRun {
 public:
  ExportRun(const RunFiles& files, platform::Messages& messages)
      : files_(files), messages_(messages) {}

  void run();

 private:
  bool lookUp(const char* key, std::string& text) {
    return read_language_text(key, text, files_.languageFile, messages_) == 1;
  }
  // Shows the text of `key` (code page 936 in the file); false when it could not be read.
  bool tell(const char* key, Buttons buttons) {
    std::string text;
    if (!lookUp(key, text)) return false;
    messages_.show(automation::gbkToUtf8(text), buttons);
    return true;
  }
  void tellTemplateMissing(std::string_view workbookPath);
  std::optional<TransferRecord> readFirst();
  bool probeShifted(WorkbookSession& session, HeaderBlock& header);
  void releaseAfterFailure(WorkbookSession& session);
  void abandonWorkbook(WorkbookSession& session);

  const RunFiles& files_;
  platform::Messages& messages_;
  std::optional<DataFile> data_;  // the second opening, kept until the table is done
};

void ExportRun::tellTemplateMissing(std::string_view workbookPath) {
  std::string first, last;
  if (!lookUp("excel_fil_03:", first) || !lookUp("excel_fil_04:", last)) return;
  const std::string path = automation::gbkToUtf8(workbookPath);
  messages_.show(platform::format("%s“%s”, %s", automation::gbkToUtf8(first).c_str(), path.c_str(),
                                  automation::gbkToUtf8(last).c_str()),
                 Buttons::Ok);
}

std::optional<TransferRecord> ExportRun::readFirst() {
  DataFile data(files_.dataFile);
  if (!data.opened()) {
    tell("excel_fil_01:", Buttons::Ok);
    return std::nullopt;
  }
  const std::optional<TransferRecord> record = usable(data.readTransferRecord());
  if (!record) tell("excel_fil_02:", Buttons::OkCancel);
  return record;
}

// Workbooks.Close and Application.Quit, for the failures after the workbook was opened.
void ExportRun::abandonWorkbook(WorkbookSession& session) {
  automation::workbooksClose(session.workbooks);
  automation::applicationQuit(session.application);
  session.release();
  automation::uninitializeApartment();
}

// A template whose first body cell shows text is shifted: the body moves one row down, and the
// host's header block learns the new rows.
bool ExportRun::probeShifted(WorkbookSession& session, HeaderBlock& header) {
  if (automation::readCellText(session.usedRange, header.firstBodyRow(), 1).empty()) return false;
  header.shiftBodyRows();
  return true;
}

// After the one message for a call the server failed (or a cell that has no name): every
// reference taken is released, the Application last, and the data file closed.
void ExportRun::releaseAfterFailure(WorkbookSession& session) {
  data_.reset();
  session.release();
}

void ExportRun::run() {
  TotalLabels labels;
  if (!lookUp("excel_fil_11:", labels.subtotal) || !lookUp("excel_fil_12:", labels.total)) return;

  const std::optional<TransferRecord> first = readFirst();
  if (!first) return;
  HeaderBlock firstHeader(first->headerAddress);
  if (!platform::canOpenForReading(platform::pathFromHostText(firstHeader.workbookPath()))) {
    tellTemplateMissing(firstHeader.workbookPath());
    return;
  }

  if (automation::hr::failed(automation::initializeApartment())) {
    tell("excel_fil_05:", Buttons::Ok);
    return;
  }
  WorkbookSession session;
  if (!session.application.createByProgId(automation::kSpreadsheetProgId)) {
    if (tell("excel_fil_06:", Buttons::Ok)) automation::uninitializeApartment();
    return;
  }
  try {
    automation::openTemplate(session, firstHeader.workbookPath());
    const bool shifted = probeShifted(session, firstHeader);
    data_.emplace(files_.dataFile);
    if (!data_->opened()) {
      if (tell("excel_fil_07:", Buttons::Ok)) abandonWorkbook(session);
      return;
    }
    const std::optional<TransferRecord> second = usable(data_->readTransferRecord());
    if (!second) {
      if (tell("excel_fil_08:", Buttons::OkCancel)) {
        data_->close();
        abandonWorkbook(session);
      }
      return;
    }
    // A chain that leads back to a record already passed has no end: told, and the workbook
    // closed unfilled, as when the data cannot be read.
    if (platform::chainLoops(second->firstRowAddress,
                             [](std::uintptr_t row) { return RowRecord(row).nextAddress(); })) {
      if (tell("excel_fil_13:", Buttons::Ok)) {
        data_->close();
        abandonWorkbook(session);
      }
      return;
    }
    HeaderBlock header(second->headerAddress);
    if (shifted) header.shiftHeaderRows();
    ResultTable table(session, header, shifted, labels, messages_);
    if (!table.writeRows(second->firstRowAddress)) {
      // The partly filled workbook stays open, unsaved, for the user to see.
      data_->close();
      tell("excel_fil_09:", Buttons::Ok);
      return;
    }
    data_->close();
    table.writeGrandTotals();
    automation::workbookSave(session.workbook);
  } catch (const automation::AutomationError& error) {
    automation::reportAutomationFailure(messages_, error);
    releaseAfterFailure(session);
  } catch (const std::exception& error) {
    messages_.show(std::string("Excel 操作失败: ") + error.what(), Buttons::Ok);
    releaseAfterFailure(session);
  }
}

}  // namespace

RunFiles installedFiles() {
  return {installedLanguageFile(), installedDataFile()};
}

void runExport(const RunFiles& files, platform::Messages& messages) {
  ExportRun(files, messages).run();
}

}  // namespace qx::tamarack
