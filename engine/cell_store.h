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

// The cells of one row in ascending columns: a run of the store's pooled cell storage, which
// only the store grows.
class RowCells {
 public:
  Cell* begin() { return data_; }
  Cell* end() { return data_ + size_; }
  const Cell* begin() const { return data_; }
  const Cell* end() const { return data_ + size_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  friend class CellStore;
  Cell* data_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;
};

struct Row {
  std::uint32_t number = 0;
  std::uint32_t style = 0;  // the format of its new cells, when `styled` (customFormat)
  pugi::xml_node_struct* original = nullptr;
  RowCells cells;
  double height = -1;  // points; negative: the sheet's default
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

// Cell runs carved from large slabs. A run that a growing row leaves is kept for the next run
// of its size: no row has its own allocation, and growth never doubles a sheet's cells.
class CellPool {
 public:
  // A run of room for `capacity` cells (1..kMaxColumns).
  Cell* take(std::uint32_t capacity);
  void give(Cell* run, std::uint32_t capacity);

 private:
  static constexpr std::size_t kMaxSlabCells = std::size_t{1} << 16;
  std::vector<std::unique_ptr<Cell[]>> slabs_;
  std::size_t slabCells_ = 0;  // size of the last slab
  std::size_t slabUsed_ = 0;   // cells carved from it
  // Runs given back, by capacity; each holds the next of its size in its first bytes.
  std::vector<Cell*> free_;
};

class CellStore {
 public:
  CellStore() = default;
  // Not copied: it keeps a pointer to one of its rows.
  CellStore(const CellStore&) = delete;
  CellStore& operator=(const CellStore&) = delete;
  CellStore(CellStore&&) = default;
  CellStore& operator=(CellStore&&) = default;

  const Row* row(std::uint32_t number) const;
  Row* row(std::uint32_t number);
  // The row, created when absent (number in 1..kMaxRows).
  Row& touchRow(std::uint32_t number);

  const Cell* find(std::uint32_t row, std::uint32_t column) const;
  // The cell, created when absent; its row is marked changed.
  Cell& touch(std::uint32_t row, std::uint32_t column);
  // Adds `cell` after the last cell of `row` (its column greater than theirs).
  void append(Row& row, const Cell& cell);

  // Highest row number that has a row.
  std::uint32_t lastRow() const { return static_cast<std::uint32_t>(slots_.size()) - 1; }
  std::size_t rowCount() const { return rows_.size(); }

  TextArena& inlineTexts() { return inlineTexts_; }
  const TextArena& inlineTexts() const { return inlineTexts_; }

 private:
  // Makes room in `cells` for at least one more cell.
  void grow(RowCells& cells);

  std::vector<std::uint32_t> slots_{0};  // row number -> index in rows_ + 1
  std::deque<Row> rows_;
  CellPool pool_;
  TextArena inlineTexts_;
  Row* lastTouched_ = nullptr;    // the row touchRow() returned last
  std::uint32_t currentRow_ = 0;  // the row of the last touch
  std::size_t lastWidth_ = 1;     // cells of the row touched before it
};

// Finds the cell of `column` in a row's ascending cells; null when absent.
const Cell* findInRow(const RowCells& cells, std::uint32_t column);

}  // namespace qx::engine
