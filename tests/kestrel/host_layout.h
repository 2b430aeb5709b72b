#pragma once
// Records laid out byte by byte from the host's published offsets, independent of the
// exporter's own decoders.

#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "include/qx/host_records.h"

namespace qx::kestrel::testing {

class HostRecord {
 public:
  explicit HostRecord(std::size_t size) : bytes(size, 0) {}

  HostRecord& text(std::size_t offset, std::string_view gbk) {
    for (std::size_t i = 0; i < gbk.size(); ++i)
      bytes.at(offset + i) = static_cast<std::uint8_t>(gbk[i]);
    bytes.at(offset + gbk.size()) = 0;
    return *this;
  }
  HostRecord& int32(std::size_t offset, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i) bytes.at(offset + i) = (bits >> (8 * i)) & 0xFF;
    return *this;
  }
  HostRecord& address(std::size_t offset, const void* pointer) {
    const std::uint64_t bits = reinterpret_cast<std::uintptr_t>(pointer);
    for (std::size_t i = 0; i < 8; ++i) bytes.at(offset + i) = (bits >> (8 * i)) & 0xFF;
    return *this;
  }

  std::vector<std::uint8_t> bytes;
};

// Rows that keep their addresses, each linked behind the one added before it.
class HostRows {
 public:
  HostRecord& add() {
    rows_.emplace_back(QX_DUAL_SPEC_ROW_SIZE);
    if (rows_.size() > 1) {
      rows_[rows_.size() - 2].address(QX_DUAL_SPEC_ROW_next, rows_.back().bytes.data());
    }
    return rows_.back();
  }
  const void* first() const { return rows_.empty() ? nullptr : rows_.front().bytes.data(); }

 private:
  std::deque<HostRecord> rows_;
};

}  // namespace qx::kestrel::testing
