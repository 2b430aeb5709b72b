#pragma once
// Header and row records laid out byte by byte by the shared field tables, as the host lays
// them out in its memory.

#include <cstdint>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "kestrel/dual_spec_header.h"
#include "kestrel/dual_spec_row.h"
#include "platform/byte_fields.h"
#include "platform/record_fields.h"

namespace qx::kestrel::testing {

// A zero-filled record of fixed size with fields put in at their offsets; every setter returns
// the record for chaining.
template <class Self>
class Record {
 public:
  explicit Record(std::size_t size) : bytes_(size, 0) {}

  // The text's bytes and a NUL after them.
  Self& text(std::size_t offset, std::string_view gbk) {
    raw(offset, gbk);
    bytes_.at(offset + gbk.size()) = 0;
    return self();
  }
  // Bytes without a terminating NUL.
  Self& raw(std::size_t offset, std::string_view bytes) {
    if (offset + bytes.size() > bytes_.size()) throw std::out_of_range("field past the record");
    std::memcpy(bytes_.data() + offset, bytes.data(), bytes.size());
    return self();
  }
  Self& int32(std::size_t offset, std::int32_t value) {
    platform::storeInt32(bytes_.data(), offset, value);
    return self();
  }
  Self& text(platform::TextField field, std::string_view gbk) { return text(field.offset, gbk); }
  Self& raw(platform::TextField field, std::string_view bytes) { return raw(field.offset, bytes); }
  Self& int32(platform::Int32Field field, std::int32_t value) { return int32(field.offset, value); }
  Self& address(std::size_t offset, const void* pointer) {
    const std::uint64_t value = reinterpret_cast<std::uintptr_t>(pointer);
    for (std::size_t i = 0; i < 8; ++i) {
      bytes_.at(offset + i) = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
    return self();
  }

  const std::uint8_t* data() const { return bytes_.data(); }
  platform::Bytes bytes() const { return bytes_; }

 private:
  Self& self() { return static_cast<Self&>(*this); }
  std::vector<std::uint8_t> bytes_;
};

namespace header_fields = platform::records::dual_spec_header;
namespace row_fields = platform::records::dual_spec_row;

struct HeaderRecord : Record<HeaderRecord> {
  HeaderRecord() : Record(kDualSpecHeaderSize) {}
  HeaderRecord& templatePath(std::string_view gbk) {
    return text(header_fields::template_path, gbk);
  }
  HeaderRecord& primary(std::string_view spec) { return text(header_fields::primary_spec, spec); }
  HeaderRecord& secondary(std::string_view spec) {
    return text(header_fields::secondary_spec, spec);
  }
  HeaderRecord& startRow(std::int32_t row) { return int32(header_fields::start_row, row); }
  HeaderRecord& weight(std::int32_t weight) { return int32(header_fields::border_weight, weight); }
  // Header text k (1 to 4) with its flag, row and column.
  HeaderRecord& headerText(int k, std::string_view gbk, std::int32_t shown, std::int32_t row,
                           std::int32_t column) {
    struct Fields {
      platform::TextField text;
      platform::Int32Field shown, row, column;
    };
    static constexpr Fields kTexts[] = {
        {header_fields::header_text1, header_fields::show_flag1, header_fields::header_row1,
         header_fields::header_column1},
        {header_fields::header_text2, header_fields::show_flag2, header_fields::header_row2,
         header_fields::header_column2},
        {header_fields::header_text3, header_fields::show_flag3, header_fields::header_row3,
         header_fields::header_column3},
        {header_fields::header_text4, header_fields::show_flag4, header_fields::header_row4,
         header_fields::header_column4},
    };
    const Fields& at = kTexts[k - 1];
    text(at.text, gbk);
    return int32(at.shown, shown).int32(at.row, row).int32(at.column, column);
  }
};

struct RowRecord : Record<RowRecord> {
  RowRecord() : Record(kDualSpecRowSize) {}
};

// A row list whose records keep their addresses; each added record is linked behind the last.
class RowList {
 public:
  RowRecord& add() {
    rows_.emplace_back();
    if (rows_.size() > 1)
      rows_[rows_.size() - 2].address(kDualSpecRowLinkOffset, rows_.back().data());
    return rows_.back();
  }
  const std::uint8_t* first() const { return rows_.empty() ? nullptr : rows_.front().data(); }

 private:
  std::deque<RowRecord> rows_;
};

}  // namespace qx::kestrel::testing
