#pragma once
// Where cells lie on the sheet, in points, as the application computes it for the workbook's
// default font: column widths in characters of the font's maximum digit width, converted
// through whole pixels; row heights in points; hidden rows and columns take no room.

#include <cstdint>
#include <utility>

#include "engine/package/styles.h"
#include "engine/package/worksheet.h"

namespace qx::engine {

// The widest digit of the font in pixels at 96 dpi (7 for Calibri 11).
int maximumDigitWidth(const DefaultFont& font);

// A column width in characters as whole pixels: trunc((256 w + trunc(128 / mdw)) / 256 * mdw).
int columnPixels(double widthInCharacters, int digitWidth);

class SheetGeometry {
 public:
  SheetGeometry(const Worksheet& sheet, const DefaultFont& font);

  double columnWidth(std::uint32_t column) const;  // points
  double rowHeight(std::uint32_t row) const;       // points
  double left(std::uint32_t column) const;         // of the column's left edge
  double top(std::uint32_t row) const;             // of the row's top edge

  // The column that holds the horizontal position and the distance from its left edge; a
  // position beyond the last column gives the last column.
  std::pair<std::uint32_t, double> columnAt(double x) const;
  std::pair<std::uint32_t, double> rowAt(double y) const;

  double defaultColumnWidth() const { return defaultColumn_; }
  double defaultRowHeight() const { return defaultRow_; }

 private:
  const Worksheet& sheet_;
  int digitWidth_;
  double defaultColumn_;
  double defaultRow_;
};

}  // namespace qx::engine
