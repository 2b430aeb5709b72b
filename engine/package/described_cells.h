#pragma once
// Cells that another part describes a second time: a table's header row names its columns, its
// totals row shows their labels and functions' results, and a pivot table lays out its cells
// from its cache. A write into one of them keeps that part in step with the cell, as the
// application does, or is refused where the application refuses it.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/package/cell_reference.h"
#include "engine/package/cell_store.h"
#include "engine/package/table_part.h"

namespace qx::engine {

class Workbook;
class Worksheet;
struct CellInput;

enum class CellRole { ColumnHeader, ColumnTotals, PivotTable };

struct DescribedCell {
  CellRole role;
  CellRect range;              // the described cells: a header row, a totals row, a pivot table
  TablePart* table = nullptr;  // the table of a header or totals cell
  std::string part;            // the pivot table's part
};

// What describes the cells of one worksheet.
class SheetDescriptions {
 public:
  void addTable(TablePart& table);
  void addPivotTable(std::string part, const CellRect& range);
  // What describes the cell; null when nothing does. Constant time for a cell outside the rows
  // the descriptions span, which is nearly every cell a report writes.
  const DescribedCell* at(std::uint32_t row, std::uint32_t column) const;

 private:
  void add(DescribedCell cell);

  std::vector<DescribedCell> cells_;
  std::uint32_t top_ = kMaxRows + 1, bottom_ = 0;
};

// Puts the value into a described cell. A header cell takes it as a text (a number or a
// boolean as the text it shows) and its column takes the name the application gives a column
// with that header, unique in its table; the cell shows that name. A totals cell takes the
// value as any cell does, and its column's totals label and function say what it now holds. A
// pivot table's cell is refused (EngineError), as the application refuses it.
void putDescribedCell(Workbook& workbook, Worksheet& sheet, const DescribedCell& described,
                      std::uint32_t row, std::uint32_t column, const CellInput& value);

}  // namespace qx::engine
