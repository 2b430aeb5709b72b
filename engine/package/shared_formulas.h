#pragma once
// Shared formulas: a formula written once in a master cell and used by the cells of a range.
// When a value is written over the master, the other cells would lose their formula; each is
// given its own formula instead, the master's moved by its offset.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/package/worksheet.h"

namespace qx::engine {

// The formula moved by `rows` and `columns`: relative references (A1, A:A, 1:1) shift,
// absolute parts ($A$1) stay; a reference pushed off the sheet becomes #REF!. Texts in
// quotes, sheet names and structured references are left alone.
std::string shiftFormula(std::string_view formula, std::int64_t rows, std::int64_t columns);

// Before a value replaces the cell at (row, column): when it is the master of a shared
// formula, every cell sharing it gets the formula written out in full.
void unshareFormulaAt(Worksheet& sheet, std::uint32_t row, std::uint32_t column);

}  // namespace qx::engine
