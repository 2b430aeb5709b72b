#include "kestrel/dual_spec_run.h"

#include <string>

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "kestrel/column_symbols.h"
#include "kestrel/dual_spec_row.h"
#include "kestrel/run_policy.h"
#include "platform/code_page.h"
#include "platform/input_file.h"
#include "platform/paths.h"
#include "platform/record_chain.h"
#include "report/cell_address.h"
#include "report/sheet_row.h"
#include "report/sheet_writing.h"
#include "report/workbook_run.h"
#include "report/workbook_session.h"

namespace qx::kestrel {

namespace {

using automation::AutomationError;
using report::WorkbookSession;
namespace op = automation::op;
namespace hr = automation::hr;

// Two full specs and the option block stay inside the columns a cell address can name.
static_assert(2 * 256 + kOptions.size() <= report::kMaxAddressColumn);

// Writes the cells of one table row, left to right, each value followed by its frame.
class TableRowWriter {
 public:
  TableRowWriter(WorkbookSession& session, std::int64_t row, std::int32_t weight)
      : session_(session), row_(row), weight_(weight) {}

  // A cell with a value; `keep` leaves the template's content and only frames the cell.
  void cell(std::string_view text, bool keep) {
    if (!keep) {
      report::writeCell(session_.usedRange, rowIndex(op::kRangeItemPut), column_, text,
                        session_.writtenCell);
    }
    // No address names a row above the first: the frame is refused as the server would.
    if (row_ < 1) throw AutomationError(op::kWorksheetRange.name, hr::kInvalidArg);
    report::frameCell(session_.sheet, column_, rowIndex(op::kWorksheetRange), weight_,
                      session_.framedCell);
    ++column_;
  }

  void symbols(std::string_view spec, std::optional<ColumnField> (*lookup)(char),
               platform::Bytes record, int ordinal) {
    for (const char symbol : spec) {
      const std::optional<ColumnField> field = lookup(symbol);
      if (!field) continue;
      cell(cellText(*field, record, ordinal), field->kind == FieldKind::Keep);
    }
  }

  // The seven option texts go in as they are, whatever the column specs hold.
  void options(platform::Bytes record) {
    if (!optionBlockShown(record)) return;
    for (const platform::TextField option : kOptions) {
      cell(cellText(ColumnField{FieldKind::Text, option.offset, option.width}, record, 0), false);
    }
  }

 private:
  int rowIndex(const automation::Operation& operation) const {
    return report::sheetRow(row_, operation, kRunPolicy);
  }

  WorkbookSession& session_;
  std::int64_t row_;
  std::int32_t weight_;
  int column_ = 1;
};

void fillWorkbook(WorkbookSession& session, const DualSpecHeader& header,
                  const std::uint8_t* firstRow) {
  report::openTemplate(session, header.templatePath);

  // A taken first table cell moves the table down by one row, once.
  std::int64_t row = header.startRow;
  if (!report::readCellText(session.usedRange, header.startRow, 1).empty()) ++row;

  for (const HeaderText& text : header.texts) {
    if (text.shown) report::writeCell(session.usedRange, text.row, text.column, text.text);
  }

  int ordinal = 1;
  for (const std::uint8_t* record = firstRow; record != nullptr; ++ordinal, ++row) {
    const platform::Bytes bytes = rowBytes(record);
    TableRowWriter writer(session, row, header.borderWeight);
    writer.symbols(header.primarySpec, primaryField, bytes, ordinal);
    writer.symbols(header.secondarySpec, secondaryField, bytes, ordinal);
    writer.options(bytes);
    record = nextRow(bytes);
  }

  report::saveWorkbook(session);
}

}  // namespace

void runDualSpecExport(const DualSpecHeader& header, const std::uint8_t* firstRow,
                       platform::Messages& messages) {
  const auto ok = platform::Buttons::Ok;
  report::WorkbookRun run(kRunPolicy, messages);
  // Everything is guarded, the checks before COM included: whatever ends the run is told once.
  run.guarded([&] {
    if (!platform::canOpenForReading(platform::pathFromHostText(header.templatePath))) {
      const std::string path = platform::gbkToUtf8(header.templatePath);
      messages.show(platform::format(kTemplateMissingMessage, path.c_str()), ok);
      return;
    }
    if (platform::chainLoops(
            firstRow, [](const std::uint8_t* record) { return nextRow(rowBytes(record)); })) {
      messages.show(kLoopingRowListMessage, ok);
      return;
    }
    if (!run.leaseApartment()) {
      messages.show(kEnvironmentFailedMessage, ok);
      return;
    }
    if (!run.startServer()) {
      messages.show(kServerFailedMessage, ok);
      run.handBackApartment();
      return;
    }
    fillWorkbook(run.session(), header, firstRow);
  });
}

}  // namespace qx::kestrel
