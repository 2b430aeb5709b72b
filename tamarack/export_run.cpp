#include "tamarack/export_run.h"

#include <exception>
#include <optional>
#include <string>

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "platform/code_page.h"
#include "platform/input_file.h"
#include "platform/paths.h"
#include "platform/record_chain.h"
#include "report/sheet_writing.h"
#include "report/workbook_run.h"
#include "report/workbook_session.h"
#include "tamarack/language_file.h"
#include "tamarack/result_records.h"
#include "tamarack/result_table.h"
#include "tamarack/run_policy.h"

namespace qx::tamarack {

namespace {

using platform::Buttons;
using report::WorkbookSession;

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
    messages_.show(platform::gbkToUtf8(text), buttons);
    return true;
  }
  void tellTemplateMissing(std::string_view workbookPath);
  std::optional<TransferRecord> readFirst();
  bool probeShifted(WorkbookSession& session, HeaderBlock& header);
  void fill(report::WorkbookRun& run, HeaderBlock& firstHeader, const TotalLabels& labels);
  void abandonWorkbook(report::WorkbookRun& run);

  const RunFiles& files_;
  platform::Messages& messages_;
  std::optional<DataFile> data_;  // the second opening, kept until the table is done
};

void ExportRun::tellTemplateMissing(std::string_view workbookPath) {
  std::string first, last;
  if (!lookUp("excel_fil_03:", first) || !lookUp("excel_fil_04:", last)) return;
  const std::string path = platform::gbkToUtf8(workbookPath);
  messages_.show(platform::format("%s“%s”, %s", platform::gbkToUtf8(first).c_str(), path.c_str(),
                                  platform::gbkToUtf8(last).c_str()),
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
void ExportRun::abandonWorkbook(report::WorkbookRun& run) {
  automation::workbooksClose(run.session().workbooks);
  automation::applicationQuit(run.session().application);
  run.session().release();
  run.handBackApartment();
}

// A template whose first body cell shows text is shifted: the body moves one row down, and the
// host's header block learns the new rows.
bool ExportRun::probeShifted(WorkbookSession& session, HeaderBlock& header) {
  if (report::readCellText(session.usedRange, header.firstBodyRow(), 1).empty()) return false;
  header.shiftBodyRows();
  return true;
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

  report::WorkbookRun run(kRunPolicy, messages_);
  if (!run.leaseApartment()) {
    tell("excel_fil_05:", Buttons::Ok);
    return;
  }
  if (!run.startServer()) {
    if (tell("excel_fil_06:", Buttons::Ok)) run.handBackApartment();
    return;
  }
  // After the one message for a call the server failed (or a cell that has no name): every
  // reference taken is released, the Application last, and the data file closed.
  run.guarded([&] { fill(run, firstHeader, labels); }, [&] { data_.reset(); });
}

// Everything from opening the template to the save.
void ExportRun::fill(report::WorkbookRun& run, HeaderBlock& firstHeader,
                     const TotalLabels& labels) {
  WorkbookSession& session = run.session();
  report::openTemplate(session, firstHeader.workbookPath());
  const bool shifted = probeShifted(session, firstHeader);
  data_.emplace(files_.dataFile);
  if (!data_->opened()) {
    if (tell("excel_fil_07:", Buttons::Ok)) abandonWorkbook(run);
    return;
  }
  const std::optional<TransferRecord> second = usable(data_->readTransferRecord());
  if (!second) {
    if (tell("excel_fil_08:", Buttons::OkCancel)) {
      data_->close();
      abandonWorkbook(run);
    }
    return;
  }
  // A chain that leads back to a record already passed has no end: told, and the workbook
  // closed unfilled, as when the data cannot be read.
  if (platform::chainLoops(second->firstRowAddress,
                           [](std::uintptr_t row) { return RowRecord(row).nextAddress(); })) {
    if (tell("excel_fil_13:", Buttons::Ok)) {
      data_->close();
      abandonWorkbook(run);
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
  report::saveWorkbook(session);
}

}  // namespace

RunFiles installedFiles() {
  return {installedLanguageFile(), installedDataFile()};
}

void runExport(const RunFiles& files, platform::Messages& messages) {
  ExportRun(files, messages).run();
}

}  // namespace qx::tamarack
