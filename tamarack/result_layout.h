#pragma once
// Where each field of the host's result records lies, in the terms tamarack reads them: the
// header texts with their placements, the extra columns, the fields the column spec names.
// Offsets and widths come from the shared record layouts. The transfer record in the data file
// holds two addresses in the host's process; they lead to the header block and to the first
// record of the row chain. Addresses are as wide as the build's pointers: the 32-bit build
// keeps 4-byte addresses, a 64-bit build 8-byte ones, which moves the second transfer address
// and the row link.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/record_fields.h"

namespace qx::tamarack {

inline constexpr std::size_t kAddressWidth = sizeof(void*);
static_assert(kAddressWidth == 4 || kAddressWidth == 8);
static_assert(kAddressWidth == platform::records::kAddressWidth);

namespace transfer {
// Read as one item; a shorter file is a failed read.
inline constexpr std::size_t kSize = platform::records::result_transfer::kSize;
}  // namespace transfer

namespace header {
namespace fields = platform::records::result_header;
inline constexpr std::size_t kSize = fields::kSize;

// A header text, its switch and its cell.
struct TextFields {
  platform::TextField text;
  platform::Int32Field enabled, row, column;
};
inline constexpr std::array<TextFields, 5> kTexts{{
    {fields::header_text1, fields::text1_enabled, fields::text1_row, fields::text1_column},
    {fields::header_text2, fields::text2_enabled, fields::text2_row, fields::text2_column},
    {fields::header_text3, fields::text3_enabled, fields::text3_row, fields::text3_column},
    {fields::header_text4, fields::text4_enabled, fields::text4_row, fields::text4_column},
    {fields::header_text5, fields::text5_enabled, fields::text5_row, fields::text5_column},
}};
inline constexpr std::size_t kTextCount = kTexts.size();
}  // namespace header

namespace row {
namespace fields = platform::records::result_row;
inline constexpr std::size_t kSize = fields::kSize;
inline constexpr std::array<platform::TextField, 8> kExtraColumns{
    fields::extra_1, fields::extra_2, fields::extra_3, fields::extra_4,
    fields::extra_5, fields::extra_6, fields::extra_7, fields::extra_8,
};
inline constexpr std::size_t kExtraColumnCount = kExtraColumns.size();
}  // namespace row

// A field of the row record named by one column-spec character.
struct RowField {
  char selector;
  platform::TextField field;
};

// Every selector that names a field. "w" names none (an empty framed cell); any character not
// listed takes no column.
inline constexpr std::array<RowField, 40> kRowFields = [] {
  namespace f = platform::records::result_row;
  return std::array<RowField, 40>{{
      {'a', f::field_a},        {'b', f::field_b},  {'c', f::field_c},      {'d', f::field_d},
      {'e', f::field_e},        {'f', f::field_f},  {'g', f::field_g},      {'h', f::field_h},
      {'i', f::field_i},        {'j', f::field_j},  {'k', f::field_k},      {'l', f::field_l},
      {'m', f::field_m},        {'n', f::field_n},  {'o', f::field_o},      {'p', f::field_p},
      {'q', f::field_q},        {'r', f::field_r},  {'s', f::field_s},      {'t', f::field_t},
      {'u', f::field_u},        {'v', f::field_v},  {'x', f::field_x},      {'y', f::field_y},
      {'2', f::field_2},        {'3', f::field_3},  {'1', f::field_1},      {'z', f::field_z},
      {'4', f::field_4},        {'5', f::field_5},  {'6', f::field_6},      {'7', f::picture_path},
      {'8', f::field_8},        {'9', f::field_9},  {'0', f::field_0},      {'<', f::field_lt},
      {'[', f::field_lbracket}, {'>', f::field_gt}, {')', f::field_rparen}, {'&', f::field_amp},
  }};
}();

inline constexpr char kEmptyCellSelector = 'w';
inline constexpr char kPictureSelector = '7';

// The field a selector names, if any.
constexpr std::optional<RowField> rowField(char selector) {
  for (const RowField& field : kRowFields) {
    if (field.selector == selector) return field;
  }
  return std::nullopt;
}

}  // namespace qx::tamarack
