#include "engine/package/cell_reference.h"

#include <algorithm>

#include "engine/package/cell_store.h"

namespace qx::engine {

std::optional<CellPosition> parseCellReference(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '$') ++i;
  std::uint64_t column = 0;
  const std::size_t lettersStart = i;
  while (i < text.size() && i - lettersStart < 4) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c < 'A' || c > 'Z') break;
    column = column * 26 + static_cast<std::uint64_t>(c - 'A' + 1);
    ++i;
  }
  if (i == lettersStart) return std::nullopt;
  if (i < text.size() && text[i] == '$') ++i;
  std::uint64_t row = 0;
  const std::size_t digitsStart = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - digitsStart < 8) {
    row = row * 10 + static_cast<std::uint64_t>(text[i] - '0');
    ++i;
  }
  if (i == digitsStart || i != text.size()) return std::nullopt;
  if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) return std::nullopt;
  return CellPosition{static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column)};
}

std::optional<CellRect> parseRangeReference(std::string_view text) {
  const std::size_t colon = text.find(':');
  const std::optional<CellPosition> first = parseCellReference(text.substr(0, colon));
  const std::optional<CellPosition> second =
      colon == std::string_view::npos ? first : parseCellReference(text.substr(colon + 1));
  if (!first || !second) return std::nullopt;
  return CellRect{std::min(first->row, second->row), std::min(first->column, second->column),
                  std::max(first->row, second->row), std::max(first->column, second->column)};
}

void appendColumnName(std::string& out, std::uint32_t column) {
  char letters[8];
  int n = 0;
  while (column > 0 && n < 8) {
    letters[n++] = static_cast<char>('A' + (column - 1) % 26);
    column = (column - 1) / 26;
  }
  while (n > 0) out += letters[--n];
}

std::string cellName(std::uint32_t row, std::uint32_t column) {
  std::string out;
  appendColumnName(out, column);
  out += std::to_string(row);
  return out;
}

std::string rectName(const CellRect& rect) {
  std::string out = cellName(rect.top, rect.left);
  if (rect.bottom != rect.top || rect.right != rect.left) {
    out += ':';
    out += cellName(rect.bottom, rect.right);
  }
  return out;
}

}  // namespace qx::engine
