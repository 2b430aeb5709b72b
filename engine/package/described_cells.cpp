#include "engine/package/described_cells.h"

#include <algorithm>

#include "engine/package/cell_values.h"
#include "engine/package/number_formats.h"
#include "engine/package/workbook.h"
#include "engine/save/engine_error.h"

namespace qx::engine {

void SheetDescriptions::add(DescribedCell cell) {
  top_ = std::min(top_, cell.range.top);
  bottom_ = std::max(bottom_, cell.range.bottom);
  cells_.push_back(std::move(cell));
}

void SheetDescriptions::addTable(TablePart& table) {
  if (table.columnCount() == 0) return;
  const CellRect& range = table.range();
  const auto right = static_cast<std::uint32_t>(
      std::min<std::size_t>(range.right, range.left + table.columnCount() - 1));
  if (table.headerRow() != 0) {
    add({CellRole::ColumnHeader,
         {table.headerRow(), range.left, table.headerRow(), right},
         &table,
         table.part()});
  }
  if (table.totalsRow() != 0) {
    add({CellRole::ColumnTotals,
         {table.totalsRow(), range.left, table.totalsRow(), right},
         &table,
         table.part()});
  }
}

void SheetDescriptions::addPivotTable(std::string part, const CellRect& range) {
  add({CellRole::PivotTable, range, nullptr, std::move(part)});
}

const DescribedCell* SheetDescriptions::at(std::uint32_t row, std::uint32_t column) const {
  if (row < top_ || row > bottom_) return nullptr;
  for (const DescribedCell& cell : cells_) {
    const CellRect& r = cell.range;
    if (row >= r.top && row <= r.bottom && column >= r.left && column <= r.right) return &cell;
  }
  return nullptr;
}

namespace {
// The text a header cell shows for the value: a table's header is always a text.
std::string headerText(const CellInput& value) {
  switch (value.kind) {
    case CellInput::Kind::Text:
      return std::string(value.text);
    case CellInput::Kind::Boolean:
      return value.boolean ? "TRUE" : "FALSE";
    case CellInput::Kind::Number:
      return formatGeneral(value.number);
    case CellInput::Kind::Empty:
      break;
  }
  return {};
}
}  // namespace

void putDescribedCell(Workbook& workbook, Worksheet& sheet, const DescribedCell& described,
                      std::uint32_t row, std::uint32_t column, const CellInput& value) {
  if (described.role == CellRole::PivotTable) {
    throw EngineError("the cell " + cellName(row, column) + " lies in the pivot table " +
                      rectName(described.range) + " of " + described.part +
                      ", whose cells the pivot table lays out itself; they cannot be written");
  }
  TablePart& table = *described.table;
  const std::size_t index = column - table.range().left;
  if (described.role == CellRole::ColumnHeader) {
    const std::string name = uniqueColumnName(headerText(value), table.otherNames(index));
    workbook.renameTableColumn(table, index, name);
    storeCellValue(workbook, sheet, row, column, CellInput::ofText(name), TextEntry::AsWritten);
    return;
  }
  storeCellValue(workbook, sheet, row, column, value, TextEntry::Recognised);
  const Cell* cell = sheet.cells().find(row, column);
  const bool text =
      cell != nullptr && (cell->kind == CellKind::SharedText || cell->kind == CellKind::InlineText);
  if (text) {
    table.setTotals(index, cellText(workbook, sheet, row, column));
  } else {
    table.setTotals(index, std::nullopt);
  }
}

}  // namespace qx::engine
