#include "kestrel/dual_spec_run.h"

#include <limits>
#include <string>

#include "automation/apartment.h"
#include "automation/automation_error.h"
#include "automation/cell_address.h"
#include "automation/code_page.h"
#include "automation/failure_report.h"
#include "automation/operations.h"
#include "automation/sheet_moves.h"
#include "automation/workbook_session.h"
#include "kestrel/column_symbols.h"
#include "kestrel/dual_spec_row.h"
#include "platform/paths.h"
#include "platform/record_chain.h"

namespace qx::kestrel {

namespace {

using automation::AutomationError;
using automation::WorkbookSession;
namespace op = automation::op;
namespace hr = automation::hr;

// Two full specs and the option block stay inside the columns a cell address can name.
static_assert(2 * 256 + kOptions.size() <= automation::kMaxAddressColumn);

// Writes the cells of one table row, left to right, each value followed by its frame.
class TableRowWriter {
 public:
  TableRowWriter(WorkbookSession& session, std::int64_t row, std::int32_t weight)
      : session_(session), row_(row), weight_(weight) {}

  // A cell with a value; `keep` leaves the template's content and only frames the cell.
  void cell(std::string_view text, bool keep) {
    if (!keep) {
      automation::writeCell(session_.usedRange, rowIndex(op::kRangeItemPut), column_, text);
    }
    // No address names a row above the first: the frame is refused as the server would.
    if (row_ < 1) throw AutomationError(op::kWorksheetRange.name, hr::kInvalidArg);
    automation::frameCell(session_.sheet, column_, rowIndex(op::kWorksheetRange), weight_,
                          session_.cellRange);
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
  // Rows beyond what a 32-bit index carries reach no cell; refused like any bad index.
  int rowIndex(const automation::Operation& operation) const {
    if (row_ > std::numeric_limits<std::int32_t>::max()) {
      throw AutomationError(operation.name, hr::kInvalidArg);
    }
    return static_cast<int>(row_);
  }

  WorkbookSession& session_;
  std::int64_t row_;
  std::int32_t weight_;
  int column_ = 1;
};

void fillWorkbook(WorkbookSession& session, const DualSpecHeader& header,
                  const std::uint8_t* firstRow) {
  automation::openTemplate(session, header.templatePath);

  // A taken first table cell moves the table down by one row, once.
  std::int64_t row = header.startRow;
  if (!automation::readCellText(session.usedRange, header.startRow, 1).empty()) ++row;

  for (const HeaderText& text : header.texts) {
    if (text.shown) automation::writeCell(session.usedRange, text.row, text.column, text.text);
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

  automation::workbookSave(session.workbook);
}

void reportFailure(platform::Messages& messages, const std::exception& error) {
  if (const auto* automationError = dynamic_cast<const AutomationError*>(&error)) {
    automation::reportAutomationFailure(messages, *automationError);
  } else {
    messages.show(std::string("Excel 操作失败: ") + error.what(), platform::Buttons::Ok);
  }
}

}  // namespace

void runDualSpecExport(const DualSpecHeader& header, const std::uint8_t* firstRow,
                       platform::Messages& messages) {
  const auto ok = platform::Buttons::Ok;
  bool apartmentHeld = false;
  WorkbookSession session;
  try {
    if (!platform::canOpenForReading(platform::pathFromHostText(header.templatePath))) {
      const std::string path = automation::gbkToUtf8(header.templatePath);
      messages.show(platform::format(kTemplateMissingMessage, path.c_str()), ok);
      return;
    }
    if (platform::chainLoops(
            firstRow, [](const std::uint8_t* record) { return nextRow(rowBytes(record)); })) {
      messages.show(kLoopingRowListMessage, ok);
      return;
    }
    if (hr::failed(automation::initializeApartment())) {
      messages.show(kEnvironmentFailedMessage, ok);
      return;
    }
    apartmentHeld = true;
    if (!session.application.createByProgId(automation::kSpreadsheetProgId)) {
      messages.show(kServerFailedMessage, ok);
      automation::uninitializeApartment();
      return;
    }
    fillWorkbook(session, header, firstRow);
    session.release();
  } catch (const std::exception& error) {
    // The run ends here: the user is told once, every holder goes, and the thread's apartment
    // is handed back as it was found, since nothing of this run is left to use it.
    reportFailure(messages, error);
    session.release();
    if (apartmentHeld) automation::uninitializeApartment();
  }
}

}  // namespace qx::kestrel
