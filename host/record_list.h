#pragma once
// The row records of a report, all of one size, kept in order in large blocks. Allocated one
// by one between the parser's many small allocations, records of a few kilobytes each cost
// the allocator more than the parsing itself; a block holds many and is given zeroed.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace qx::host {

class RecordList {
 public:
  RecordList() = default;
  explicit RecordList(std::size_t recordSize);

  // A new record of zeros at the end. Records never move once made.
  std::span<std::uint8_t> append();

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  std::size_t recordSize() const { return recordSize_; }
  std::span<std::uint8_t> operator[](std::size_t i);
  std::span<const std::uint8_t> operator[](std::size_t i) const;

  // Drops every record and gives back their memory.
  void clear();

  // The blocks that hold the records, each of blockBytes() bytes starting at a page boundary;
  // block i holds the records from i * recordsPerBlock() on.
  std::size_t blockCount() const { return blocks_.size(); }
  std::uint8_t* block(std::size_t i) const { return blocks_[i].get(); }
  std::size_t recordsPerBlock() const { return perBlock_; }
  std::size_t blockBytes() const;

 private:
  struct Free {
    std::size_t bytes;
    void operator()(std::uint8_t* block) const;
  };
  std::size_t recordSize_ = 0;
  std::size_t perBlock_ = 1;
  std::size_t count_ = 0;
  std::vector<std::unique_ptr<std::uint8_t, Free>> blocks_;
};

}  // namespace qx::host
