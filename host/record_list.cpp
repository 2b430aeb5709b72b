#include "host/record_list.h"

#include <algorithm>
#include <new>

namespace qx::host {

namespace {
// Large enough that the allocator maps each block apart from its heap.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
}  // namespace

RecordList::RecordList(std::size_t recordSize)
    : recordSize_(recordSize), perBlock_(std::max<std::size_t>(1, kBlockBytes / recordSize)) {}

std::span<std::uint8_t> RecordList::append() {
  if (count_ == blocks_.size() * perBlock_) {
    void* block = std::calloc(perBlock_, recordSize_);
    if (block == nullptr) throw std::bad_alloc();
    blocks_.emplace_back(static_cast<std::uint8_t*>(block));
  }
  return (*this)[count_++];
}

std::span<std::uint8_t> RecordList::operator[](std::size_t i) {
  return {blocks_[i / perBlock_].get() + (i % perBlock_) * recordSize_, recordSize_};
}

std::span<const std::uint8_t> RecordList::operator[](std::size_t i) const {
  return {blocks_[i / perBlock_].get() + (i % perBlock_) * recordSize_, recordSize_};
}

void RecordList::clear() {
  blocks_.clear();
  blocks_.shrink_to_fit();
  count_ = 0;
}

}  // namespace qx::host
