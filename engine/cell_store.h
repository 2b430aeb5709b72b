#pragma once
// The cells of one worksheet: rows found by number and cells within a row by column, both in
// constant or logarithmic time, never by scanning the sheet. Cells from the package keep a
// handle on their XML so that untouched ones are written back exactly.

#include <pugixml.hpp>

#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

namespace qx::engine {

inline constexpr std::uint32_t kMaxRows = 1048576;
inline constexpr std::uint32_t kMaxColumns = 16384;

enum class CellKind : std::uint8_t {
  Original,  // as the package holds it; `original` says what it is
  Blank,     // a style and no value
  Number,
  SharedText,  // `index` into the shared strings
  InlineText,  // `text` in the store's own texts (workbooks without shared strings)
  Boolean,
};

// 16 bytes: a report of a million rows holds ten million of them.
struct Cell {
  std::uint32_t style = 0;
  std::uint16_t column = 0;  // 1..kMaxColumns
  CellKind kind = CellKind::Blank;
  bool used : 1 = false;  // holds a value or a style of its own: counts for the used range
  bool hadFormula : 1 = false;
  bool phonetic : 1 = false;  // ph="1": its phonetic text is shown, whatever the value
  union {
    double number;
    std::uint32_t index;
    std::uint64_t text;               // a TextArena reference
    pugi::xml_node_struct* original;  // kind Original: the cell's element in the package
  } value{0};
};

static_assert(kMaxColumns <= 0xFFFF && sizeof(Cell) == 16);

// The element a cell was read from, while it is as the package holds it; null otherwise.
inline pugi::xml_node_struct* originalOf(const Cell& cell) {
  return cell.kind == CellKind::Original ? cell.value.original : nullptr;
}

struct Row {
  std::uint32_t number = 0;
  pugi::xml_node_struct* original = nullptr;
  std::vector<Cell> cells;  // ascending columns
  double height = -1;       // points; negative: the sheet's default
  std::uint32_t style = 0;  // the format of its new cells, when `styled` (customFormat)
  bool styled = false;
  bool hidden = false;
  bool changed = false;
};

// Cell texts back to back in blocks that never move. A text is found by the reference its
// cell holds (block, offset and length packed in 8 bytes), so a growing report never copies
// its texts and a short text costs its bytes alone.
class TextArena {
 public:
  // Stores a copy of `text` (at most 16 MiB); returns its reference.
  std::uint64_t add(std::string_view text);
  std::string_view operator[](std::uint64_t reference) const;
  std::size_t size() const { return count_; }

 private:
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockFree_ = 0;  // bytes left in the last block
  std::size_t count_ = 0;
};

class CellStore {
 public:
  const Row* row(std::uint32_t number) const;
  Row* row(std::uint32_t number);
  // The row, created when absent (number in 1..kMaxRows).
  Row& touchRow(std::uint32_t number);

  const Cell* find(std::uint32_t row, std::uint32_t column) const;
  // The cell, created when absent; its row is marked changed.
  Cell& touch(std::uint32_t row, std::uint32_t column);

  // Highest row number that has a row.
  std::uint32_t lastRow() const { return static_cast<std::uint32_t>(slots_.size()) - 1; }
  std::size_t rowCount() const { return rows_.size(); }

  TextArena& inlineTexts() { return inlineTexts_; }
  const TextArena& inlineTexts() const { return inlineTexts_; }

 private:
  std::vector<std::uint32_t> slots_{0};  // row number -> index in rows_ + 1
  std::deque<Row> rows_;
  TextArena inlineTexts_;
  std::uint32_t currentRow_ = 0;  // the row of the last touch
  std::size_t lastWidth_ = 1;     // cells of the row touched before it
};

// Finds the cell of `column` in a row's ascending cells; end() when absent.
std::vector<Cell>::const_iterator findInRow(const std::vector<Cell>& cells, std::uint32_t column);

}  // namespace qx::engine
