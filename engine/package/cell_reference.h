#pragma once
// A1-style cell references, read and written.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx::engine {

struct CellPosition {
  std::uint32_t row = 1;
  std::uint32_t column = 1;
};

// A rectangle of cells, inclusive on all sides.
struct CellRect {
  std::uint32_t top = 1, left = 1, bottom = 1, right = 1;
};

// "B7", "$B$7", "b7" -> row 7, column 2; nullopt for anything else or beyond XFD1048576.
std::optional<CellPosition> parseCellReference(std::string_view text);

// "A1:C9" (corners in any order) or "B7" as a rectangle; nullopt when either corner is none.
std::optional<CellRect> parseRangeReference(std::string_view text);

// Appends the column letters of `column` (1 -> "A", 27 -> "AA").
void appendColumnName(std::string& out, std::uint32_t column);
// "B7".
std::string cellName(std::uint32_t row, std::uint32_t column);
// "A1:C9", or "A1" for one cell.
std::string rectName(const CellRect& rect);

}  // namespace qx::engine
