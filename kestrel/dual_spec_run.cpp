#include "kestrel/dual_spec_run.h"

#include <string>

#include "kestrel/column_symbols.h"
#include "kestrel/dual_spec_row.h"
#include "kestrel/run_policy.h"
#include "platform/prefetch.h"
#include "platform/record_chain.h"
#include "report/cell_address.h"
#include "report/workbook_run.h"

namespace qx::kestrel {

namespace {

using report::Outcome;

// Two full specs and the option block stay inside the columns a cell address can name.
static_assert(2 * 256 + kOptions.size() <= report::kMaxAddressColumn);

// Writes the cells of one table row, left to right, each value followed by its frame.
class TableRowWriter {
 public:
  TableRowWriter(report::Table& table, std::int64_t row, std::int32_t weight)
      : table_(table), row_(row), weight_(weight) {}

  // A cell with a value; `keep` leaves the template's content and only frames the cell. No
  // address names a row above the first: the policy has the table refuse such a frame as the
  // server would.
  void cell(std::string_view text, bool keep) {
    if (!keep) table_.write(row_, column_, text);
    table_.frame(column_, row_, weight_);
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
  report::Table& table_;
  std::int64_t row_;
  std::int32_t weight_;
  int column_ = 1;
};

Outcome fillWorkbook(report::WorkbookRun& run, const DualSpecHeader& header,
                     const std::uint8_t* firstRow) {
  run.openTemplate(header.templatePath);
  report::Table& table = run.table();

  // A taken first table cell moves the table down by one row, once.
  std::int64_t row = header.startRow;
  if (!table.readText(header.startRow, 1).empty()) ++row;

  for (const HeaderText& text : header.texts) {
    if (text.shown) table.write(text.row, text.column, text.text);
  }

  int ordinal = 1;
  for (const std::uint8_t* record = firstRow; record != nullptr; ++ordinal, ++row) {
    const platform::Bytes bytes = rowBytes(record);
    platform::prefetchRecord(nextRow(bytes), kDualSpecRowSize);
    TableRowWriter writer(table, row, header.borderWeight);
    writer.symbols(header.primarySpec, primaryField, bytes, ordinal);
    writer.symbols(header.secondarySpec, secondaryField, bytes, ordinal);
    writer.options(bytes);
    record = nextRow(bytes);
  }

  run.save();
  return Outcome::Saved;
}

}  // namespace

Outcome runDualSpecExport(const DualSpecHeader& header, const std::uint8_t* firstRow,
                          platform::Messages& messages) {
  report::WorkbookRun run(kRunPolicy, messages);
  // Everything is guarded, the checks before COM included: whatever ends the run is told once.
  return run.guarded([&] {
    if (!run.checkTemplate(header.templatePath)) return Outcome::Stopped;
    if (platform::chainLoops(
            firstRow, [](const std::uint8_t* record) { return nextRow(rowBytes(record)); })) {
      messages.show(kLoopingRowListMessage, platform::Buttons::Ok);
      return Outcome::Stopped;
    }
    if (!run.start()) return Outcome::Stopped;
    return fillWorkbook(run, header, firstRow);
  });
}

}  // namespace qx::kestrel
