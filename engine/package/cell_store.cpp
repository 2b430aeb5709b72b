#include "engine/package/cell_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "engine/save/engine_error.h"

namespace qx::engine {

namespace {

// A hash of a text's length and its first and last 8 bytes: cell texts that differ mostly
// differ at an end, and texts that collide only cost a comparison.
std::uint64_t quickHash(std::string_view text) {
  std::uint64_t head = 0, tail = 0;
  if (text.size() >= 8) {
    std::memcpy(&head, text.data(), 8);
    std::memcpy(&tail, text.data() + text.size() - 8, 8);
  } else {
    for (const char c : text) head = head << 8 | static_cast<unsigned char>(c);
  }
  const std::uint64_t hash =
      head * 0x9E3779B97F4A7C15ull ^ (tail + text.size()) * 0xC2B2AE3D27D4EB4Full;
  return hash ^ hash >> 29;
}

}  // namespace

void refuseCellStyle(std::uint32_t style) {
  throw EngineError("cell format " + std::to_string(style) + " lies beyond the " +
                    std::to_string(kMaxCellStyle + 1) + " formats a workbook can hold");
}

std::uint32_t TextArena::add(std::string_view text) {
  ++count_;
  if (!recent_) recent_ = std::make_unique<std::uint64_t[]>(kRecentTexts);
  // A slot holds the top 31 bits of its text's hash, a bit that says it is taken, and the
  // text's reference; 0 when empty.
  const std::uint64_t hash = quickHash(text);
  std::uint64_t& slot = recent_[hash % kRecentTexts];
  const std::uint64_t tag = (hash >> 33 << 33) | std::uint64_t{1} << 32;
  if ((slot & ~std::uint64_t{0xFFFFFFFF}) == tag) {
    const auto reference = static_cast<std::uint32_t>(slot);
    if ((*this)[reference] == text) return reference;
  }
  const std::uint32_t reference = store(text);
  slot = tag | reference;
  return reference;
}

std::uint32_t TextArena::store(std::string_view text) {
  constexpr std::size_t kMaxLength = std::size_t{1} << 24;
  const std::size_t size = text.size();
  if (size >= kMaxLength) {
    throw EngineError("a text of " + std::to_string(size) + " bytes is too long for a cell");
  }
  // The length goes before the text, 7 bits a byte.
  const std::size_t lengthBytes = size < 0x80 ? 1 : size < 0x4000 ? 2 : size < 0x200000 ? 3 : 4;
  const std::size_t needed = lengthBytes + size;
  if (needed > blockFree_) {
    if (blocks_.size() >= (std::size_t{1} << (32 - kOffsetBits))) {
      throw EngineError("the texts of a sheet take more than 4 GiB");
    }
    const std::size_t blockSize = std::max(kBlockBytes, needed);
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize));
    blockFree_ = blockSize;
  }
  // A block larger than usual holds one text, from its start.
  const std::size_t offset = kBlockBytes - std::min(kBlockBytes, blockFree_);
  char* at = blocks_.back().get() + offset;
  for (std::size_t i = 1, n = size; i <= lengthBytes; ++i, n >>= 7) {
    *at++ = static_cast<char>((n & 0x7F) | (i < lengthBytes ? 0x80 : 0));
  }
  std::memcpy(at, text.data(), size);
  blockFree_ -= needed;
  bytes_ += needed;
  return static_cast<std::uint32_t>((blocks_.size() - 1) << kOffsetBits | offset);
}

std::string_view TextArena::operator[](std::uint32_t reference) const {
  const char* at =
      blocks_[reference >> kOffsetBits].get() + (reference & ((1u << kOffsetBits) - 1));
  std::size_t length = 0;
  for (unsigned shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(*at++);
    length |= std::size_t{byte & 0x7Fu} << shift;
    if (byte < 0x80) break;
  }
  return std::string_view(at, length);
}

void CellStore::setNumber(Cell& cell, double number) {
  const auto whole =
      static_cast<std::int32_t>(number >= -2147483648.0 && number <= 2147483647.0 ? number : 0);
  if (whole == number && !(number == 0 && std::signbit(number))) {
    cell.value = static_cast<std::uint32_t>(whole);
    cell.wholeNumber = true;
  } else if (cell.kind == CellKind::Number && !cell.wholeNumber) {
    numbers_[cell.value] = number;  // its place is its own
  } else {
    cell.value = static_cast<std::uint32_t>(numbers_.size());
    numbers_.push_back(number);
    cell.wholeNumber = false;
  }
  cell.kind = CellKind::Number;
}

void CellStore::setOriginal(Cell& cell, pugi::xml_node_struct* element) {
  cell.kind = CellKind::Original;
  cell.value = static_cast<std::uint32_t>(originals_.size());
  originals_.push_back(element);
}

namespace {
// The value of row `number` in a list sorted by row number; `absent` when it has none.
template <typename Value>
Value byRow(const std::vector<std::pair<std::uint32_t, Value>>& list, std::uint32_t number,
            Value absent) {
  const auto it =
      std::lower_bound(list.begin(), list.end(), number,
                       [](const auto& entry, std::uint32_t n) { return entry.first < n; });
  return it != list.end() && it->first == number ? it->second : absent;
}

template <typename Value>
void setByRow(std::vector<std::pair<std::uint32_t, Value>>& list, std::uint32_t number,
              Value value) {
  if (list.empty() || list.back().first < number) {
    list.emplace_back(number, value);
    return;
  }
  const auto it =
      std::lower_bound(list.begin(), list.end(), number,
                       [](const auto& entry, std::uint32_t n) { return entry.first < n; });
  if (it != list.end() && it->first == number) {
    it->second = value;
  } else {
    list.insert(it, {number, value});
  }
}
}  // namespace

double CellStore::height(const Row& row) const {
  return row.sized ? byRow(heights_, row.number, -1.0) : -1.0;
}

std::uint32_t CellStore::style(const Row& row) const {
  return row.styled ? byRow(styles_, row.number, std::uint32_t{0}) : 0;
}

void CellStore::setHeight(Row& row, double points) {
  setByRow(heights_, row.number, points);
  row.sized = true;
}

void CellStore::setStyle(Row& row, std::uint32_t style) {
  setByRow(styles_, row.number, style);
}

const Row* CellStore::row(std::uint32_t number) const {
  const std::uint32_t slot = slotOf(number);
  return slot == 0 ? nullptr : &rows_[slot - 1];
}

Row* CellStore::row(std::uint32_t number) {
  const std::uint32_t slot = slotOf(number);
  return slot == 0 ? nullptr : &rows_[slot - 1];
}

Row& CellStore::newRow(std::uint32_t number) {
  const std::size_t page = number >> kSlotPageBits;
  if (page >= slotPages_.size()) slotPages_.resize(page + 1);
  if (!slotPages_[page]) slotPages_[page] = std::make_unique<std::uint32_t[]>(1u << kSlotPageBits);
  std::uint32_t& slot = slotPages_[page][number & ((1u << kSlotPageBits) - 1)];
  if (slot == 0) {
    rows_.push_back(Row{});
    rows_.back().number = number;
    slot = static_cast<std::uint32_t>(rows_.size());
    lastRow_ = std::max(lastRow_, number);
  }
  return rows_[slot - 1];
}

Row& CellStore::touchRow(std::uint32_t number) {
  // Rows never move (a deque grows at its end): the last one touched is kept at hand.
  if (lastTouched_ != nullptr && lastTouched_->number == number) return *lastTouched_;
  Row& row = newRow(number);
  if (row.kept) readKept(row);
  lastTouched_ = &row;
  return row;
}

Row& CellStore::keep(std::uint32_t number, std::size_t offset, std::size_t length) {
  if (offset > 0xFFFFFFFFu || length > 0xFFFFFFFFu) {
    throw EngineError("a sheet's rows lie beyond its first 4 GiB");
  }
  Row& row = newRow(number);
  row.kept = true;
  row.text_ = std::uint64_t{offset} << 32 | length;
  return row;
}

void CellStore::readKept(Row& row) {
  const std::uint64_t offset = keptOffset(row);
  const std::size_t length = keptLength(row);
  const std::uint64_t text = row.text_;
  row.kept = false;
  row.cells_ = nullptr;
  try {
    reader_->read(row, offset, length);
  } catch (...) {
    // A part that cannot be read again (its file damaged since) leaves the row as it was.
    row.size_ = row.capacity_ = 0;
    row.read = false;
    row.text_ = text;
    row.kept = true;
    throw;
  }
}

Row* CellStore::readRow(std::uint32_t number) {
  Row* r = row(number);
  if (r != nullptr && r->kept) readKept(*r);
  return r;
}

Cell* CellPool::take(std::uint32_t capacity) {
  if (capacity < free_.size() && free_[capacity] != nullptr) {
    Cell* run = free_[capacity];
    std::memcpy(&free_[capacity], static_cast<const void*>(run), sizeof(Cell*));
    return run;
  }
  if (slabs_.empty() || slabCells_ - slabUsed_ < capacity) {
    // Slabs grow with the sheet: a small sheet takes little, a large one few allocations.
    slabCells_ = std::max<std::size_t>(
        capacity, slabs_.empty() ? 256 : std::min(kMaxSlabCells, slabCells_ * 2));
    slabs_.push_back(std::make_unique<Cell[]>(slabCells_));
    slabUsed_ = 0;
  }
  Cell* run = slabs_.back().get() + slabUsed_;
  slabUsed_ += capacity;
  return run;
}

void CellPool::give(Cell* run, std::uint32_t capacity) {
  if (capacity >= free_.size()) free_.resize(capacity + 1, nullptr);
  std::memcpy(static_cast<void*>(run), &free_[capacity], sizeof(Cell*));
  free_[capacity] = run;
}

const Cell* findInRow(std::span<const Cell> cells, std::uint32_t column) {
  if (cells.empty()) return nullptr;
  if (cells.back().column == column) return &cells.back();
  const auto it = std::lower_bound(cells.begin(), cells.end(), column,
                                   [](const Cell& c, std::uint32_t col) { return c.column < col; });
  return it != cells.end() && it->column == column ? &*it : nullptr;
}

const Cell* CellStore::find(std::uint32_t rowNumber, std::uint32_t column) const {
  // Reading a kept row's cells changes what the store holds, not what it says.
  const Row* r = const_cast<CellStore*>(this)->readRow(rowNumber);
  return r == nullptr ? nullptr : findInRow(r->cells(), column);
}

void CellStore::grow(Row& row) {
  // A new row is usually as wide as the row written before it: one run instead of a series of
  // growths. A row that outgrows its run moves to one half as large again.
  const std::size_t wanted =
      row.capacity_ == 0
          ? std::clamp<std::size_t>(lastWidth_, 1, 64)
          : std::min<std::size_t>(kMaxColumns, row.capacity_ + row.capacity_ / 2 + 1);
  const auto capacity = static_cast<std::uint16_t>(std::max<std::size_t>(wanted, row.size_ + 1));
  Cell* run = pool_.take(capacity);
  if (row.cells_ != nullptr) {
    std::copy(row.cells_, row.cells_ + row.size_, run);
    pool_.give(row.cells_, row.capacity_);
  }
  row.cells_ = run;
  row.capacity_ = capacity;
}

void CellStore::append(Row& row, const Cell& cell) {
  if (row.size_ == row.capacity_) grow(row);
  row.cells_[row.size_++] = cell;
}

Cell& CellStore::touch(std::uint32_t rowNumber, std::uint32_t column) {
  if (rowNumber != currentRow_) {
    if (const Row* previous = row(currentRow_)) lastWidth_ = previous->size_;
    currentRow_ = rowNumber;
  }
  Row& r = touchRow(rowNumber);
  r.changed = true;
  if (r.size_ == 0 || r.cells_[r.size_ - 1].column < column) {
    Cell added;
    added.column = static_cast<std::uint16_t>(column);
    append(r, added);
    return r.cells_[r.size_ - 1];
  }
  Cell* it = std::lower_bound(r.cells_, r.cells_ + r.size_, column,
                              [](const Cell& c, std::uint32_t col) { return c.column < col; });
  if (it->column == column) return *it;
  const std::size_t at = static_cast<std::size_t>(it - r.cells_);
  if (r.size_ == r.capacity_) grow(r);
  std::copy_backward(r.cells_ + at, r.cells_ + r.size_, r.cells_ + r.size_ + 1);
  ++r.size_;
  Cell& added = r.cells_[at];
  added = Cell{};
  added.column = static_cast<std::uint16_t>(column);
  return added;
}

}  // namespace qx::engine
