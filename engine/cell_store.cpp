#include "engine/cell_store.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/engine_error.h"

namespace qx::engine {

std::uint64_t TextArena::add(std::string_view text) {
  constexpr std::size_t kMaxLength = std::size_t{1} << 24;
  if (text.size() >= kMaxLength) {
    throw EngineError("a text of " + std::to_string(text.size()) + " bytes is too long for a cell");
  }
  if (text.size() > blockFree_) {
    if (blocks_.size() >= (std::size_t{1} << 20)) throw EngineError("too many cell texts");
    const std::size_t size = std::max(kBlockBytes, text.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    blockFree_ = size;
  }
  const std::size_t block = blocks_.size() - 1;
  const std::size_t offset = kBlockBytes - std::min(kBlockBytes, blockFree_);
  std::memcpy(blocks_.back().get() + offset, text.data(), text.size());
  blockFree_ -= text.size();
  ++count_;
  // Block (20 bits), offset in it (20 bits), length (24 bits).
  return std::uint64_t{block} << 44 | std::uint64_t{offset} << 24 | text.size();
}

std::string_view TextArena::operator[](std::uint64_t reference) const {
  const char* block = blocks_[reference >> 44].get();
  return std::string_view(block + ((reference >> 24) & 0xFFFFF), reference & 0xFFFFFF);
}

const Row* CellStore::row(std::uint32_t number) const {
  if (number >= slots_.size() || slots_[number] == 0) return nullptr;
  return &rows_[slots_[number] - 1];
}

Row* CellStore::row(std::uint32_t number) {
  if (number >= slots_.size() || slots_[number] == 0) return nullptr;
  return &rows_[slots_[number] - 1];
}

Row& CellStore::touchRow(std::uint32_t number) {
  // Rows never move (a deque grows at its end): the last one touched is kept at hand.
  if (lastTouched_ != nullptr && lastTouched_->number == number) return *lastTouched_;
  if (number >= slots_.size()) slots_.resize(number + 1, 0);
  if (slots_[number] == 0) {
    rows_.push_back(Row{});
    rows_.back().number = number;
    slots_[number] = static_cast<std::uint32_t>(rows_.size());
  }
  lastTouched_ = &rows_[slots_[number] - 1];
  return *lastTouched_;
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

const Cell* findInRow(const RowCells& cells, std::uint32_t column) {
  if (cells.empty()) return nullptr;
  if ((cells.end() - 1)->column == column) return cells.end() - 1;
  const Cell* it =
      std::lower_bound(cells.begin(), cells.end(), column,
                       [](const Cell& c, std::uint32_t col) { return c.column < col; });
  return it != cells.end() && it->column == column ? it : nullptr;
}

const Cell* CellStore::find(std::uint32_t rowNumber, std::uint32_t column) const {
  const Row* r = row(rowNumber);
  return r == nullptr ? nullptr : findInRow(r->cells, column);
}

void CellStore::grow(RowCells& cells) {
  // A new row is usually as wide as the row written before it: one run instead of a series of
  // growths. A row that outgrows its run moves to one half as large again.
  const std::size_t wanted =
      cells.capacity_ == 0
          ? std::clamp<std::size_t>(lastWidth_, 1, 64)
          : std::min<std::size_t>(kMaxColumns, cells.capacity_ + cells.capacity_ / 2 + 1);
  const auto capacity = static_cast<std::uint32_t>(std::max<std::size_t>(wanted, cells.size_ + 1));
  Cell* run = pool_.take(capacity);
  if (cells.data_ != nullptr) {
    std::copy(cells.data_, cells.data_ + cells.size_, run);
    pool_.give(cells.data_, cells.capacity_);
  }
  cells.data_ = run;
  cells.capacity_ = capacity;
}

void CellStore::append(Row& row, const Cell& cell) {
  RowCells& cells = row.cells;
  if (cells.size_ == cells.capacity_) grow(cells);
  cells.data_[cells.size_++] = cell;
}

Cell& CellStore::touch(std::uint32_t rowNumber, std::uint32_t column) {
  if (rowNumber != currentRow_) {
    if (const Row* previous = row(currentRow_)) lastWidth_ = previous->cells.size();
    currentRow_ = rowNumber;
  }
  Row& r = touchRow(rowNumber);
  r.changed = true;
  RowCells& cells = r.cells;
  if (cells.empty() || (cells.end() - 1)->column < column) {
    Cell added;
    added.column = static_cast<std::uint16_t>(column);
    append(r, added);
    return *(cells.end() - 1);
  }
  Cell* it = std::lower_bound(cells.begin(), cells.end(), column,
                              [](const Cell& c, std::uint32_t col) { return c.column < col; });
  if (it->column == column) return *it;
  const std::size_t at = static_cast<std::size_t>(it - cells.begin());
  if (cells.size_ == cells.capacity_) grow(cells);
  std::copy_backward(cells.data_ + at, cells.data_ + cells.size_, cells.data_ + cells.size_ + 1);
  ++cells.size_;
  Cell& added = cells.data_[at];
  added = Cell{};
  added.column = static_cast<std::uint16_t>(column);
  return added;
}

}  // namespace qx::engine
