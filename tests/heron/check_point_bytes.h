#pragma once
// Builds check-point data files byte by byte at the shared layout's offsets, for the tests.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_fields.h"
#include "platform/record_fields.h"

namespace qx::heron::testing {

namespace header_fields = platform::records::check_point_header;
namespace row_fields = platform::records::check_point_row;

struct HeaderBytes {
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(header_fields::kSize, 0);

  HeaderBytes& integer(std::size_t offset, std::int32_t value) {
    platform::storeInt32(bytes.data(), offset, value);
    return *this;
  }
  // Copies the text into its slot; a text as long as the slot keeps no NUL.
  HeaderBytes& text(std::size_t offset, std::string_view value) {
    std::memcpy(bytes.data() + offset, value.data(), value.size());
    return *this;
  }
  HeaderBytes& integer(platform::Int32Field field, std::int32_t value) {
    return integer(field.offset, value);
  }
  HeaderBytes& text(platform::TextField field, std::string_view value) {
    return text(field.offset, value);
  }
  HeaderBytes& text1(std::int32_t row, std::int32_t col, std::string_view value) {
    return integer(header_fields::text1_flag, 1)
        .integer(header_fields::text1_row, row)
        .integer(header_fields::text1_col, col)
        .text(header_fields::text1, value);
  }
  HeaderBytes& text2(std::int32_t row, std::int32_t col, std::string_view value) {
    return integer(header_fields::text2_flag, 1)
        .integer(header_fields::text2_row, row)
        .integer(header_fields::text2_col, col)
        .text(header_fields::text2, value);
  }
  HeaderBytes& text3(std::int32_t row, std::int32_t col, std::string_view value) {
    return integer(header_fields::text3_flag, 1)
        .integer(header_fields::text3_row, row)
        .integer(header_fields::text3_col, col)
        .text(header_fields::text3, value);
  }
  HeaderBytes& firstRow(std::int32_t row) { return integer(header_fields::first_row, row); }
  HeaderBytes& borderWeight(std::int32_t weight) {
    return integer(header_fields::border_weight, weight);
  }
  HeaderBytes& rowCount(std::int32_t count) { return integer(header_fields::row_count, count); }
  HeaderBytes& columnSpec(std::string_view spec) { return text(header_fields::column_spec, spec); }
  HeaderBytes& templatePath(std::string_view path) {
    return text(header_fields::template_path, path);
  }
  HeaderBytes& pictureCells(std::string_view first, std::string_view second) {
    return text(header_fields::picture_cell1, first).text(header_fields::picture_cell2, second);
  }
};

inline std::string rowBytes(std::string_view a, std::string_view b, std::string_view c,
                            std::string_view d) {
  std::string row(row_fields::kSize, '\0');
  row.replace(row_fields::field_a.offset, a.size(), a);
  row.replace(row_fields::field_b.offset, b.size(), b);
  row.replace(row_fields::field_c.offset, c.size(), c);
  row.replace(row_fields::field_d.offset, d.size(), d);
  // The host's own bytes after the last field, never read.
  static_assert(row_fields::kSize - row_fields::field_d.end() == 8);
  row.replace(row_fields::field_d.end(), 8, "hosttail");
  return row;
}

inline std::string fileBytes(const HeaderBytes& header, const std::vector<std::string>& rows = {}) {
  std::string file(header.bytes.begin(), header.bytes.end());
  for (const std::string& row : rows) file += row;
  return file;
}

}  // namespace qx::heron::testing
