#include "host/record_list.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <new>

namespace qx::host {

namespace {
// Large enough that the allocator maps each block apart from its heap.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
}  // namespace

RecordList::RecordList(std::size_t recordSize)
    : recordSize_(recordSize), perBlock_(std::max<std::size_t>(1, kBlockBytes / recordSize)) {}

void RecordList::Free::operator()(std::uint8_t* block) const {
  ::munmap(block, bytes);
}

std::size_t RecordList::blockBytes() const {
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return (perBlock_ * recordSize_ + page - 1) / page * page;
}

std::span<std::uint8_t> RecordList::append() {
  if (count_ == blocks_.size() * perBlock_) {
    // Mapped, not allocated: zeroed, whole pages (so that progress can watch them, see
    // record_watch.h), and given back whole.
    const std::size_t bytes = blockBytes();
    void* block =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    blocks_.emplace_back(static_cast<std::uint8_t*>(block), Free{bytes});
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
