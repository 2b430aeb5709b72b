#include "tamarack/export_run.h"

#include <optional>
#include <string>

#include "platform/record_chain.h"
#include "report/workbook_run.h"
#include "tamarack/language_file.h"
#include "tamarack/language_texts.h"
#include "tamarack/result_records.h"
#include "tamarack/result_table.h"
#include "tamarack/run_policy.h"

namespace qx::tamarack {

namespace {

using platform::Buttons;
using report::Outcome;

// A record that names no header block is as good as none: reading through it would bring the
// host down.
std::optional<TransferRecord> usable(std::optional<TransferRecord> record) {
  if (record && record->headerAddress == 0) return std::nullopt;
  return record;
}

report::ExporterPolicy policyWith(const report::RunTexts& texts) {
  report::ExporterPolicy policy = kRunPolicy;
  policy.startTexts = &texts;
  return policy;
}

// One run's texts and files. A lookup that fails has shown its own message already; the run
// then ends without the message it wanted and without that message's closing steps.
class ExportRun {
 public:
  ExportRun(const RunFiles& files, platform::Messages& messages)
      : files_(files),
        messages_(messages),
        texts_(files.languageFile),
        policy_(policyWith(texts_)) {}

  Outcome run();

 private:
  bool lookUp(const char* key, std::string& text) { return texts_.lookUp(key, text, messages_); }
  // Shows the text of `key` (code page 936 in the file); false when it could not be read.
  bool tell(const char* key, Buttons buttons) { return texts_.tell(key, buttons, messages_); }
  std::optional<TransferRecord> readFirst();
  bool probeShifted(report::Table& table, HeaderBlock& header);
  Outcome fill(report::WorkbookRun& run, HeaderBlock& firstHeader, const TotalLabels& labels);
  // After the workbook was opened: tells `key`, then closes the data file and abandons the
  // workbook, unless the text could not be read.
  Outcome abandonAfter(report::WorkbookRun& run, const char* key, Buttons buttons);

  const RunFiles& files_;
  platform::Messages& messages_;
  const LanguageTexts texts_;
  const report::ExporterPolicy policy_;
  std::optional<DataFile> data_;  // the second opening, kept until the table is done
};

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

Outcome ExportRun::abandonAfter(report::WorkbookRun& run, const char* key, Buttons buttons) {
  if (tell(key, buttons)) {
    if (data_) data_->close();
    run.abandon();
  }
  return Outcome::Stopped;
}

// A template whose first body cell shows text is shifted: the body moves one row down, and the
// host's header block learns the new rows.
bool ExportRun::probeShifted(report::Table& table, HeaderBlock& header) {
  if (table.readText(header.firstBodyRow(), 1).empty()) return false;
  header.shiftBodyRows();
  return true;
}

Outcome ExportRun::run() {
  TotalLabels labels;
  if (!lookUp("excel_fil_11:", labels.subtotal) || !lookUp("excel_fil_12:", labels.total)) {
    return Outcome::Stopped;
  }

  const std::optional<TransferRecord> first = readFirst();
  if (!first) return Outcome::Stopped;
  HeaderBlock firstHeader(first->headerAddress);
  report::WorkbookRun run(policy_, messages_);
  if (!run.checkTemplate(firstHeader.workbookPath()) || !run.start()) return Outcome::Stopped;
  // After the one message for a call the server failed (or a cell that has no name): every
  // reference taken is released, the Application last, and the data file closed.
  return run.guarded([&] { return fill(run, firstHeader, labels); }, [&] { data_.reset(); });
}

// Everything from opening the template to the save.
Outcome ExportRun::fill(report::WorkbookRun& run, HeaderBlock& firstHeader,
                        const TotalLabels& labels) {
  run.openTemplate(firstHeader.workbookPath());
  const bool shifted = probeShifted(run.table(), firstHeader);
  data_.emplace(files_.dataFile);
  if (!data_->opened()) return abandonAfter(run, "excel_fil_07:", Buttons::Ok);
  const std::optional<TransferRecord> second = usable(data_->readTransferRecord());
  if (!second) return abandonAfter(run, "excel_fil_08:", Buttons::OkCancel);
  // A chain that leads back to a record already passed has no end: told, and the workbook
  // closed unfilled, as when the data cannot be read.
  if (platform::chainLoops(second->firstRowAddress,
                           [](std::uintptr_t row) { return RowRecord(row).nextAddress(); })) {
    return abandonAfter(run, "excel_fil_13:", Buttons::Ok);
  }
  HeaderBlock header(second->headerAddress);
  if (shifted) header.shiftHeaderRows();
  ResultTable table(run.table(), header, shifted, labels);
  if (!table.writeRows(second->firstRowAddress)) {
    // The partly filled workbook stays open, unsaved, for the user to see; the data file is
    // closed once the user has been told.
    tell("excel_fil_09:", Buttons::Ok);
    data_->close();
    return Outcome::Stopped;
  }
  data_->close();
  table.writeGrandTotals();
  run.save();
  return Outcome::Saved;
}

}  // namespace

RunFiles installedFiles() {
  return {installedLanguageFile(), installedDataFile()};
}

Outcome runExport(const RunFiles& files, platform::Messages& messages) {
  return ExportRun(files, messages).run();
}

}  // namespace qx::tamarack
