#pragma once
// The cells of one worksheet: rows found by number and cells within a row by column, both in
// constant or logarithmic time, never by scanning the sheet. Cells from the package keep a
// handle on their XML so that untouched ones are written back exactly.

#include <pugixml.hpp>

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>
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
  Error,  // `value` is the error's place in kErrorLiterals (engine/value_recognition.h)
};

// 10 bytes: a report of a million rows holds ten million of them. What a value needs beyond
// 32 bits (a fractional number, a text, the element read from the package) the store keeps
// aside; a cell is read and written through the store. Packed to 2-byte alignment: the value
// is read with an unaligned load, which costs nothing on the machines this runs on.
struct __attribute__((packed, aligned(2))) Cell {
  std::uint16_t style = 0;   // see cellStyle()
  std::uint16_t column = 0;  // 1..kMaxColumns
  CellKind kind = CellKind::Blank;
  bool used : 1 = false;  // holds a value or a style of its own: counts for the used range
  bool hadFormula : 1 = false;
  bool phonetic : 1 = false;     // ph="1": its phonetic text is shown, whatever the value
  bool wholeNumber : 1 = false;  // kind Number: `value` is the number itself (32-bit signed)
  // By kind: Number: the number or its place in the store's numbers; SharedText: the index
  // into the shared strings; InlineText: a TextArena reference; Boolean: 0 or 1; Error: the
  // error's place among the literals; Original: the place of its element in the store's list.
  std::uint32_t value = 0;
};

static_assert(kMaxColumns <= 0xFFFF && sizeof(Cell) == 10 && alignof(Cell) == 2);

inline constexpr std::uint32_t kMaxCellStyle = 0xFFFF;
[[noreturn]] void refuseCellStyle(std::uint32_t style);
// A format index as a cell holds it. The application keeps fewer than 64,000 formats in a
// workbook; one beyond 16 bits is refused rather than cut.
inline std::uint16_t cellStyle(std::uint32_t style) {
  if (style > kMaxCellStyle) refuseCellStyle(style);
  return static_cast<std::uint16_t>(style);
}

// 16 bytes: a report of a million rows holds a million of them. Its cells, in ascending
// columns, are a run of the store's pooled cell storage, which only the store grows. A row the
// run has not read or written yet is kept: its cells are not in the store, only where its
// element lies in the sheet's text, which is written back as it is; the store reads it into
// cells at the first call that needs them (see RowReader). What few rows have (a height, a
// format of their own, the element read from the package) the store keeps aside, by number.
struct Row {
  // One type for all: Windows compilers pack only bit-fields of the same type together.
  std::uint32_t number : 21 = 0;
  std::uint32_t styled : 1 = 0;  // customFormat: its new cells take its format (CellStore::style)
  std::uint32_t hidden : 1 = 0;
  std::uint32_t changed : 1 = 0;
  std::uint32_t kept : 1 = 0;      // its cells are still only in the sheet's text
  std::uint32_t formulas : 1 = 0;  // a cell of it holds a formula
  std::uint32_t regular : 1 = 0;   // kept: its bytes are as the engine prints the row
  std::uint32_t sized : 1 = 0;     // it has a height of its own (CellStore::height)
  std::uint32_t read : 1 = 0;      // it was read from the package (CellStore::originalOf)

  // Empty while the row is kept.
  std::span<Cell> cells() { return kept ? std::span<Cell>() : std::span<Cell>{cells_, size_}; }
  std::span<const Cell> cells() const {
    return kept ? std::span<const Cell>() : std::span<const Cell>{cells_, size_};
  }

 private:
  friend class CellStore;
  std::uint16_t size_ = 0;
  std::uint16_t capacity_ = 0;
  union {
    Cell* cells_ = nullptr;
    std::uint64_t text_;  // kept: its element's offset in the sheet's text and its length
  };
};

// Reads a kept row's element, `length` bytes at `offset` of its sheet's text, into cells of the
// store (CellStore::keep says where it lies).
class RowReader {
 public:
  virtual void read(Row& row, std::uint64_t offset, std::size_t length) = 0;

 protected:
  ~RowReader() = default;
};

static_assert(kMaxRows < (1u << 21) && sizeof(Row) == 16);

// Cell texts back to back in blocks that never move, each after its length. A text is found by
// the 32-bit reference its cell holds (block and offset), so a growing report never copies its
// texts and a short text costs its bytes and one more. A text equal to one added shortly before
// (a column that repeats a value, a field shown twice) shares that one's bytes.
class TextArena {
 public:
  // Stores `text` (shorter than 16 MiB) or finds it among the recent ones; its reference.
  std::uint32_t add(std::string_view text);
  std::string_view operator[](std::uint32_t reference) const;
  std::size_t size() const { return count_; }   // texts added
  std::size_t bytes() const { return bytes_; }  // held in blocks, lengths included

 private:
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
  static constexpr std::size_t kOffsetBits = 20;
  static constexpr std::size_t kRecentTexts = 4096;
  std::uint32_t store(std::string_view text);

  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockFree_ = 0;  // bytes left in the last block
  std::size_t count_ = 0;
  std::size_t bytes_ = 0;
  // References of recent texts by a hash of their bytes.
  std::unique_ptr<std::uint64_t[]> recent_;
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

  // The row's record, its cells read or not: a kept row's cells() are empty.
  const Row* row(std::uint32_t number) const;
  Row* row(std::uint32_t number);
  // The row with its cells read; null when absent.
  Row* readRow(std::uint32_t number);
  // The row with its cells read, created when absent (number in 1..kMaxRows).
  Row& touchRow(std::uint32_t number);

  // Who reads kept rows.
  void setRowReader(RowReader* reader) { reader_ = reader; }
  // A new row, kept as the element at `offset` of the sheet's text, `length` bytes long.
  Row& keep(std::uint32_t number, std::size_t offset, std::size_t length);
  // Where a kept row's element lies in the sheet's text.
  static std::uint64_t keptOffset(const Row& row) { return row.text_ >> 32; }
  static std::size_t keptLength(const Row& row) { return row.text_ & 0xFFFFFFFFu; }

  // The cell, its row read when kept; null when absent.
  const Cell* find(std::uint32_t row, std::uint32_t column) const;
  // The cell, created when absent; its row is marked changed.
  Cell& touch(std::uint32_t row, std::uint32_t column);
  // Adds `cell` after the last cell of `row` (its column greater than theirs).
  void append(Row& row, const Cell& cell);

  // Highest row number that has a row.
  std::uint32_t lastRow() const { return lastRow_; }
  std::size_t rowCount() const { return rows_.size(); }

  // The value of a cell of kind Number.
  double number(const Cell& cell) const {
    return cell.wholeNumber ? static_cast<std::int32_t>(cell.value) : numbers_[cell.value];
  }
  // Makes `cell` a number (its kind, too).
  void setNumber(Cell& cell, double number);
  // The text of a cell of kind InlineText.
  std::string_view inlineText(const Cell& cell) const { return inlineTexts_[cell.value]; }
  // Makes `cell` a text of its own (its kind, too).
  void setInlineText(Cell& cell, std::string_view text) {
    cell.value = inlineTexts_.add(text);
    cell.kind = CellKind::InlineText;
  }
  // The element a cell was read from, while it is as the package holds it; null otherwise.
  pugi::xml_node_struct* originalOf(const Cell& cell) const {
    return cell.kind == CellKind::Original ? originals_[cell.value] : nullptr;
  }
  // The element a row was read from; null for a new row.
  pugi::xml_node_struct* originalOf(const Row& row) const {
    return row.read ? rowOriginals_.at(row.number) : nullptr;
  }
  void setOriginal(Row& row, pugi::xml_node_struct* element) {
    rowOriginals_[row.number] = element;
    row.read = true;
  }
  // The row's height in points; negative: the sheet's default.
  double height(const Row& row) const;
  // The format of the row's new cells, when it is `styled`.
  std::uint32_t style(const Row& row) const;
  // Gives a row its height and format; rows in increasing numbers.
  void setHeight(Row& row, double points);
  void setStyle(Row& row, std::uint32_t style);
  // Makes `cell` one read from the package's `element`.
  void setOriginal(Cell& cell, pugi::xml_node_struct* element);
  // A cell about to be changed no longer stands for its element.
  void forgetOriginal(const Cell& cell) {
    if (cell.kind == CellKind::Original) originals_[cell.value] = nullptr;
  }

 private:
  // Makes room in `row` for at least one more cell.
  void grow(Row& row);

  // Row number -> 1 + its index in rows_ (0: none), in pages made as rows reach them: no
  // table is copied to grow.
  static constexpr unsigned kSlotPageBits = 12;
  std::uint32_t slotOf(std::uint32_t number) const {
    const std::size_t page = number >> kSlotPageBits;
    return page < slotPages_.size() && slotPages_[page]
               ? slotPages_[page][number & ((1u << kSlotPageBits) - 1)]
               : 0;
  }
  Row& newRow(std::uint32_t number);
  void readKept(Row& row);

  std::vector<std::unique_ptr<std::uint32_t[]>> slotPages_;
  std::uint32_t lastRow_ = 0;
  std::deque<Row> rows_;
  CellPool pool_;
  TextArena inlineTexts_;
  std::vector<double> numbers_;                    // numbers that are not whole 32-bit ones
  std::vector<pugi::xml_node_struct*> originals_;  // elements of cells read from the package
  // Elements of rows read from the package, by row number.
  std::unordered_map<std::uint32_t, pugi::xml_node_struct*> rowOriginals_;
  // Heights and formats of the rows that have them, in increasing row numbers.
  std::vector<std::pair<std::uint32_t, double>> heights_;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> styles_;
  RowReader* reader_ = nullptr;
  Row* lastTouched_ = nullptr;    // the row touchRow() returned last
  std::uint32_t currentRow_ = 0;  // the row of the last touch
  std::size_t lastWidth_ = 1;     // cells of the row touched before it
};

// Finds the cell of `column` in a row's ascending cells; null when absent.
const Cell* findInRow(std::span<const Cell> cells, std::uint32_t column);

}  // namespace qx::engine
