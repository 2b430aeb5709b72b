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
  if (number >= slots_.size()) slots_.resize(number + 1, 0);
  if (slots_[number] == 0) {
    rows_.push_back(Row{});
    rows_.back().number = number;
    slots_[number] = static_cast<std::uint32_t>(rows_.size());
  }
  return rows_[slots_[number] - 1];
}

std::vector<Cell>::const_iterator findInRow(const std::vector<Cell>& cells, std::uint32_t column) {
  if (!cells.empty() && cells.back().column == column) return cells.end() - 1;
  const auto it = std::lower_bound(cells.begin(), cells.end(), column,
                                   [](const Cell& c, std::uint32_t col) { return c.column < col; });
  return it != cells.end() && it->column == column ? it : cells.end();
}

const Cell* CellStore::find(std::uint32_t rowNumber, std::uint32_t column) const {
  const Row* r = row(rowNumber);
  if (r == nullptr) return nullptr;
  const auto it = findInRow(r->cells, column);
  return it == r->cells.end() ? nullptr : &*it;
}

Cell& CellStore::touch(std::uint32_t rowNumber, std::uint32_t column) {
  if (rowNumber != currentRow_) {
    if (const Row* previous = row(currentRow_)) lastWidth_ = previous->cells.size();
    currentRow_ = rowNumber;
  }
  Row& r = touchRow(rowNumber);
  r.changed = true;
  std::vector<Cell>& cells = r.cells;
  // A new row is usually as wide as the row written before it: one allocation instead of a
  // series of growths.
  if (cells.capacity() == 0) cells.reserve(std::clamp<std::size_t>(lastWidth_, 1, 64));
  if (cells.empty() || cells.back().column < column) {
    cells.push_back(Cell{});
    cells.back().column = column;
    return cells.back();
  }
  const auto it = std::lower_bound(cells.begin(), cells.end(), column,
                                   [](const Cell& c, std::uint32_t col) { return c.column < col; });
  if (it != cells.end() && it->column == column) return *it;
  Cell added;
  added.column = column;
  return *cells.insert(it, added);
}

}  // namespace qx::engine
