#pragma once
// The host's side of a tamarack call, built in the test's own memory: a header block, a chain
// of row records, and the transfer record with their addresses. Offsets are written out here
// as the host lays them down, independently of the exporter's own tables.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qx::tamarack::testing {

// Where the build's addresses lie: 4 bytes at 0, 4 and 5036 in a 32-bit build, 8 bytes at 0, 8
// and 5040 in a 64-bit build.
inline constexpr std::size_t kHostAddressWidth = sizeof(void*);
inline constexpr std::size_t kHostFirstRowOffset = kHostAddressWidth;
inline constexpr std::size_t kHostNextOffset = kHostAddressWidth == 8 ? 5040 : 5036;
inline constexpr std::size_t kHostRowSize = kHostNextOffset + kHostAddressWidth;

// A path as UTF-8, the way messages and the recording server's texts show it.
inline std::string utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

inline void putInt32(std::uint8_t* at, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

inline std::int32_t getInt32(const std::uint8_t* at) {
  std::uint32_t bits = 0;
  for (int i = 3; i >= 0; --i) bits = (bits << 8) | at[i];
  return static_cast<std::int32_t>(bits);
}

inline void putAddress(std::uint8_t* at, const void* address) {
  auto value = reinterpret_cast<std::uintptr_t>(address);
  for (std::size_t i = 0; i < kHostAddressWidth; ++i, value >>= 8) {
    at[i] = static_cast<std::uint8_t>(value & 0xFF);
  }
}

// Copies `text` and its NUL into the slot at `offset`.
inline void putText(std::uint8_t* record, std::size_t offset, std::string_view text) {
  std::memcpy(record + offset, text.data(), text.size());
  record[offset + text.size()] = 0;
}

class HostRecords {
 public:
  HostRecords() : header_(new std::uint8_t[952]()) {}

  std::uint8_t* header() { return header_.get(); }
  std::int32_t headerInt(std::size_t offset) const { return getInt32(header_.get() + offset); }
  void setHeaderInt(std::size_t offset, std::int32_t value) {
    putInt32(header_.get() + offset, value);
  }
  void setHeaderText(std::size_t offset, std::string_view text) {
    putText(header_.get(), offset, text);
  }

  // Header text n (1..5): text, enabled, row, column.
  void setHeaderSlot(int n, std::string_view gbk, int row, int column, bool enabled = true) {
    const std::size_t i = static_cast<std::size_t>(n - 1);
    setHeaderText(50 * i, gbk);
    setHeaderInt(252 + 12 * i, enabled ? 1 : 0);
    setHeaderInt(256 + 12 * i, row);
    setHeaderInt(260 + 12 * i, column);
  }
  void setWorkbookPath(std::string_view gbk) { setHeaderText(412, gbk); }
  void setColumnSpec(std::string_view spec) { setHeaderText(668, spec); }
  void setBodyRows(int first, int last) {
    setHeaderInt(924, first);
    setHeaderInt(928, last);
  }
  void setBorderWeight(int weight) { setHeaderInt(932, weight); }
  void setPagination(bool on, bool switchA = false, bool switchB = false) {
    setHeaderInt(940, on);
    setHeaderInt(944, switchA);
    setHeaderInt(948, switchB);
  }

  // A new row record at the end of the chain; the record count at 936 follows the chain.
  std::uint8_t* addRow() {
    rows_.emplace_back(new std::uint8_t[kHostRowSize]());
    if (rows_.size() > 1)
      putAddress(rows_[rows_.size() - 2].get() + kHostNextOffset, rows_.back().get());
    setHeaderInt(936, static_cast<std::int32_t>(rows_.size()));
    return rows_.back().get();
  }
  std::uint8_t* row(std::size_t i) { return rows_[i].get(); }

  // The transfer record as the host writes it into the data file.
  std::string transferRecord(std::size_t size = 952, bool withHeader = true) const {
    std::vector<std::uint8_t> bytes(std::max<std::size_t>(size, 16), 0xEE);
    putAddress(bytes.data(), withHeader ? header_.get() : nullptr);
    putAddress(bytes.data() + kHostFirstRowOffset, rows_.empty() ? nullptr : rows_.front().get());
    return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
  }

 private:
  std::unique_ptr<std::uint8_t[]> header_;
  std::vector<std::unique_ptr<std::uint8_t[]>> rows_;
};

}  // namespace qx::tamarack::testing
