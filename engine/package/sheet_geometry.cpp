#include "engine/package/sheet_geometry.h"

#include <algorithm>
#include <cmath>

namespace qx::engine {

int maximumDigitWidth(const DefaultFont& font) {
  // Calibri, Arial and the CJK defaults at 10 and 11 points all have 7-pixel digits; other
  // sizes scale with the font.
  if (font.size >= 10 && font.size <= 11) return 7;
  return std::max(1, static_cast<int>(std::lround(font.size * 7.0 / 11.0)));
}

int columnPixels(double widthInCharacters, int digitWidth) {
  const double padded = 256.0 * widthInCharacters + std::trunc(128.0 / digitWidth);
  return static_cast<int>(std::trunc(padded / 256.0 * digitWidth));
}

SheetGeometry::SheetGeometry(const Worksheet& sheet, const DefaultFont& font)
    : sheet_(sheet), digitWidth_(maximumDigitWidth(font)) {
  const SheetFormat& format = sheet.format();
  if (format.defaultColumnWidth >= 0) {
    defaultColumn_ = columnPixels(format.defaultColumnWidth, digitWidth_) * 0.75;
  } else {
    // baseColWidth characters plus 5 pixels of margin, rounded up to a multiple of 8 pixels:
    // 64 pixels (48 points) for the usual 8 characters of 7 pixels.
    const double pixels = format.baseColumnWidth * digitWidth_ + 5;
    defaultColumn_ = std::ceil(pixels / 8.0) * 8.0 * 0.75;
  }
  if (format.defaultRowHeight >= 0) {
    defaultRow_ = format.defaultRowHeight;
  } else {
    // 20 pixels for an 11-point font, in whole pixels for other sizes.
    defaultRow_ = std::round(font.size * 20.0 / 11.0) * 0.75;
  }
}

double SheetGeometry::columnWidth(std::uint32_t column) const {
  const auto& spans = sheet_.columns();
  auto it = std::upper_bound(spans.begin(), spans.end(), column,
                             [](std::uint32_t c, const ColumnSpan& s) { return c < s.min; });
  if (it != spans.begin()) {
    const ColumnSpan& span = *(it - 1);
    if (column <= span.max) {
      if (span.hidden) return 0;
      if (span.width >= 0) return columnPixels(span.width, digitWidth_) * 0.75;
    }
  }
  return defaultColumn_;
}

double SheetGeometry::rowHeight(std::uint32_t row) const {
  const Row* r = sheet_.cells().row(row);
  if (r == nullptr) return sheet_.format().rowsHiddenByDefault ? 0 : defaultRow_;
  if (r->hidden) return 0;
  const double height = sheet_.cells().height(*r);
  return height >= 0 ? height : defaultRow_;
}

double SheetGeometry::left(std::uint32_t column) const {
  double total = (column - 1) * defaultColumn_;
  for (const ColumnSpan& span : sheet_.columns()) {
    if (span.min >= column) break;
    const std::uint32_t last = std::min(span.max, column - 1);
    for (std::uint32_t c = span.min; c <= last; ++c) total += columnWidth(c) - defaultColumn_;
  }
  return total;
}

double SheetGeometry::top(std::uint32_t row) const {
  const double emptyRow = sheet_.format().rowsHiddenByDefault ? 0 : defaultRow_;
  double total = (row - 1) * emptyRow;
  const std::uint32_t last = std::min(row - 1, sheet_.cells().lastRow());
  for (std::uint32_t r = 1; r <= last; ++r) {
    if (sheet_.cells().row(r) != nullptr) total += rowHeight(r) - emptyRow;
  }
  return total;
}

std::pair<std::uint32_t, double> SheetGeometry::columnAt(double x) const {
  double edge = 0;
  for (std::uint32_t c = 1; c < kMaxColumns; ++c) {
    const double width = columnWidth(c);
    if (x < edge + width) return {c, x - edge};
    edge += width;
  }
  return {kMaxColumns, std::max(0.0, x - edge)};
}

std::pair<std::uint32_t, double> SheetGeometry::rowAt(double y) const {
  double edge = 0;
  for (std::uint32_t r = 1; r < kMaxRows; ++r) {
    const double height = rowHeight(r);
    if (y < edge + height) return {r, y - edge};
    edge += height;
  }
  return {kMaxRows, std::max(0.0, y - edge)};
}

}  // namespace qx::engine
