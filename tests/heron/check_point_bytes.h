#pragma once
// Builds check-point data files byte by byte at the host's offsets, for the tests.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_fields.h"

namespace qx::heron::testing {

struct HeaderBytes {
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(1044, 0);

  HeaderBytes& integer(std::size_t offset, std::int32_t value) {
    platform::storeInt32(bytes.data(), offset, value);
    return *this;
  }
  // Copies the text into its slot; a text as long as the slot keeps no NUL.
  HeaderBytes& text(std::size_t offset, std::string_view value) {
    std::memcpy(bytes.data() + offset, value.data(), value.size());
    return *this;
  }
  HeaderBytes& text1(std::int32_t row, std::int32_t col, std::string_view value) {
    return integer(0, 1).integer(4, row).integer(8, col).text(56, value);
  }
  HeaderBytes& text2(std::int32_t row, std::int32_t col, std::string_view value) {
    return integer(12, 1).integer(16, row).integer(20, col).text(392, value);
  }
  HeaderBytes& text3(std::int32_t row, std::int32_t col, std::string_view value) {
    return integer(24, 1).integer(28, row).integer(32, col).text(312, value);
  }
  HeaderBytes& firstRow(std::int32_t row) { return integer(40, row); }
  HeaderBytes& borderWeight(std::int32_t weight) { return integer(48, weight); }
  HeaderBytes& rowCount(std::int32_t count) { return integer(52, count); }
  HeaderBytes& columnSpec(std::string_view spec) { return text(472, spec); }
  HeaderBytes& templatePath(std::string_view path) { return text(728, path); }
  HeaderBytes& pictureCells(std::string_view first, std::string_view second) {
    return text(984, first).text(1014, second);
  }
};

inline std::string rowBytes(std::string_view a, std::string_view b, std::string_view c,
                            std::string_view d) {
  std::string row(328, '\0');
  row.replace(0, a.size(), a);
  row.replace(80, b.size(), b);
  row.replace(160, c.size(), c);
  row.replace(240, d.size(), d);
  row.replace(320, 8, "hosttail");  // the host's own bytes, never read
  return row;
}

inline std::string fileBytes(const HeaderBytes& header, const std::vector<std::string>& rows = {}) {
  std::string file(header.bytes.begin(), header.bytes.end());
  for (const std::string& row : rows) file += row;
  return file;
}

}  // namespace qx::heron::testing
