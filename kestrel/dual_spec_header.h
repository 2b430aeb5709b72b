#pragma once
// The header record the host passes to excel_file: template, header texts, the two column
// specs, start row and frame weight.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/byte_fields.h"
#include "platform/record_fields.h"

namespace qx::kestrel {

// Bytes of the header record that are read.
inline constexpr std::size_t kDualSpecHeaderSize = platform::records::dual_spec_header::kSize;

// One of the four header texts and where it goes.
struct HeaderText {
  std::string text;  // code page 936
  bool shown = false;
  std::int32_t row = 0;
  std::int32_t column = 0;
};

struct DualSpecHeader {
  std::array<HeaderText, 4> texts;
  std::string templatePath;   // code page 936, as the host wrote it
  std::string primarySpec;    // symbols of the first run of columns
  std::string secondarySpec;  // symbols of the columns after the primary ones
  std::int32_t startRow = 0;
  std::int32_t borderWeight = 0;
};

// Decodes the header from its first kDualSpecHeaderSize bytes, by offset. Texts are copied, so
// the result does not refer to the host's memory.
DualSpecHeader decodeDualSpecHeader(platform::Bytes record);

}  // namespace qx::kestrel
