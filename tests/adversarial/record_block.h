#pragma once
// Many host records in one block of memory, linked in order, the way a host with a long report
// holds them: one fixed-size record after another, each one's link naming the next. Pages the
// block does not touch cost nothing, so a chain of hundreds of thousands of records stays
// affordable.

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/record_view.h"

namespace qx::adversarial {

class RecordBlock {
 public:
  // `count` zero-filled records of `size` bytes; the link field of each names the next, and the
  // last one's is null.
  RecordBlock(std::size_t count, std::size_t size, platform::AddressField linkField)
      : count_(count), size_(size), link_(linkField) {
    bytes_ = count * size;
    void* block = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    base_ = static_cast<std::uint8_t*>(block);
    for (std::size_t i = 0; i + 1 < count; ++i) link(i, record(i + 1));
  }
  ~RecordBlock() { munmap(base_, bytes_); }
  RecordBlock(const RecordBlock&) = delete;
  RecordBlock& operator=(const RecordBlock&) = delete;

  std::uint8_t* record(std::size_t i) const { return base_ + i * size_; }
  std::uint8_t* first() const { return count_ == 0 ? nullptr : base_; }
  std::size_t count() const { return count_; }

  // Points record i's link at `next` (null ends the chain; an earlier record makes a loop).
  void link(std::size_t i, const void* next) {
    auto value = reinterpret_cast<std::uintptr_t>(next);
    std::uint8_t* at = record(i) + link_.offset;
    for (std::size_t b = 0; b < link_.width; ++b, value >>= 8) {
      at[b] = static_cast<std::uint8_t>(value & 0xFF);
    }
  }

  // Copies the `length` bytes of `text` (no NUL added) into the field of every record.
  void fillAll(platform::TextField field, const void* text, std::size_t length) {
    for (std::size_t i = 0; i < count_; ++i) std::memcpy(record(i) + field.offset, text, length);
  }

 private:
  std::size_t count_, size_;
  platform::AddressField link_;
  std::size_t bytes_ = 0;
  std::uint8_t* base_ = nullptr;
};

}  // namespace qx::adversarial
