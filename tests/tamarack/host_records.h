#pragma once
// The host's side of a tamarack call, built in the test's own memory: a header block, a chain
// of row records, and the transfer record with their addresses, laid down by the shared field
// tables as the host does.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/record_fields.h"

namespace qx::tamarack::testing {

// Where the build's addresses lie: 4-byte addresses in a 32-bit build, 8-byte ones in a 64-bit
// build, which moves the first row's address and the row link.
namespace header_fields = platform::records::result_header;
namespace row_fields = platform::records::result_row;
inline constexpr std::size_t kHostAddressWidth = platform::records::kAddressWidth;
inline constexpr std::size_t kHostFirstRowOffset =
    platform::records::result_transfer::first_row.offset;
inline constexpr std::size_t kHostNextOffset = row_fields::next.offset;
inline constexpr std::size_t kHostRowSize = row_fields::kSize;
inline constexpr std::size_t kHostTransferSize = platform::records::result_transfer::kSize;

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
inline void putText(std::uint8_t* record, platform::TextField field, std::string_view text) {
  putText(record, field.offset, text);
}

// A header text's fields: the text, its switch, its row and column.
struct HeaderText {
  platform::TextField text;
  platform::Int32Field enabled, row, column;
};
inline constexpr HeaderText kHeaderTexts[] = {
    {header_fields::header_text1, header_fields::text1_enabled, header_fields::text1_row,
     header_fields::text1_column},
    {header_fields::header_text2, header_fields::text2_enabled, header_fields::text2_row,
     header_fields::text2_column},
    {header_fields::header_text3, header_fields::text3_enabled, header_fields::text3_row,
     header_fields::text3_column},
    {header_fields::header_text4, header_fields::text4_enabled, header_fields::text4_row,
     header_fields::text4_column},
    {header_fields::header_text5, header_fields::text5_enabled, header_fields::text5_row,
     header_fields::text5_column},
};

// The eight extra columns, written when the first holds exactly "是".
inline constexpr platform::TextField kExtraColumns[] = {
    row_fields::extra_1, row_fields::extra_2, row_fields::extra_3, row_fields::extra_4,
    row_fields::extra_5, row_fields::extra_6, row_fields::extra_7, row_fields::extra_8};

class HostRecords {
 public:
  HostRecords() : header_(new std::uint8_t[header_fields::kSize]()) {}

  std::uint8_t* header() { return header_.get(); }
  std::int32_t headerInt(std::size_t offset) const { return getInt32(header_.get() + offset); }
  std::int32_t headerInt(platform::Int32Field field) const { return headerInt(field.offset); }
  void setHeaderInt(std::size_t offset, std::int32_t value) {
    putInt32(header_.get() + offset, value);
  }
  void setHeaderInt(platform::Int32Field field, std::int32_t value) {
    setHeaderInt(field.offset, value);
  }
  void setHeaderText(std::size_t offset, std::string_view text) {
    putText(header_.get(), offset, text);
  }
  void setHeaderText(platform::TextField field, std::string_view text) {
    setHeaderText(field.offset, text);
  }

  // Header text n (1..5): text, enabled, row, column.
  void setHeaderSlot(int n, std::string_view gbk, int row, int column, bool enabled = true) {
    const HeaderText& slot = kHeaderTexts[static_cast<std::size_t>(n - 1)];
    setHeaderText(slot.text, gbk);
    setHeaderInt(slot.enabled, enabled ? 1 : 0);
    setHeaderInt(slot.row, row);
    setHeaderInt(slot.column, column);
  }
  void setWorkbookPath(std::string_view gbk) { setHeaderText(header_fields::workbook_path, gbk); }
  void setColumnSpec(std::string_view spec) { setHeaderText(header_fields::column_spec, spec); }
  void setBodyRows(int first, int last) {
    setHeaderInt(header_fields::first_body_row, first);
    setHeaderInt(header_fields::last_body_row, last);
  }
  void setBorderWeight(int weight) { setHeaderInt(header_fields::border_weight, weight); }
  void setPagination(bool on, bool switchA = false, bool switchB = false) {
    setHeaderInt(header_fields::pagination, on);
    setHeaderInt(header_fields::switch_a, switchA);
    setHeaderInt(header_fields::switch_b, switchB);
  }

  // A new row record at the end of the chain; the record count follows the chain.
  std::uint8_t* addRow() {
    rows_.emplace_back(new std::uint8_t[kHostRowSize]());
    if (rows_.size() > 1)
      putAddress(rows_[rows_.size() - 2].get() + kHostNextOffset, rows_.back().get());
    setHeaderInt(header_fields::record_count, static_cast<std::int32_t>(rows_.size()));
    return rows_.back().get();
  }
  std::uint8_t* row(std::size_t i) { return rows_[i].get(); }

  // The transfer record as the host writes it into the data file.
  std::string transferRecord(std::size_t size = kHostTransferSize, bool withHeader = true) const {
    std::vector<std::uint8_t> bytes(std::max<std::size_t>(size, 2 * kHostAddressWidth), 0xEE);
    putAddress(bytes.data(), withHeader ? header_.get() : nullptr);
    putAddress(bytes.data() + kHostFirstRowOffset, rows_.empty() ? nullptr : rows_.front().get());
    return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
  }

 private:
  std::unique_ptr<std::uint8_t[]> header_;
  std::vector<std::unique_ptr<std::uint8_t[]>> rows_;
};

}  // namespace qx::tamarack::testing
