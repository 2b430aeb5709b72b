#pragma once
// Where each field of the host's result records lies. The transfer record in the data file
// holds two addresses in the host's process; they lead to the header block and to the first
// record of the row chain. Addresses are as wide as the build's pointers: the 32-bit build
// keeps 4-byte addresses, a 64-bit build 8-byte ones, which moves the second transfer address
// and the row link.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace qx::tamarack {

inline constexpr std::size_t kAddressWidth = sizeof(void*);
static_assert(kAddressWidth == 4 || kAddressWidth == 8);

namespace transfer {
inline constexpr std::size_t kSize = 952;  // read as one item; a shorter file is a failed read
inline constexpr std::size_t kHeaderAddress = 0;
inline constexpr std::size_t kFirstRowAddress = kAddressWidth;  // 0 when there are no rows
}  // namespace transfer

namespace header {
inline constexpr std::size_t kSize = 952;
inline constexpr std::size_t kTextCount = 5;
inline constexpr std::size_t kTextWidth = 50;
// Header text n (0-based) sits at n * 50; its enabled flag, row and column at 252 + 12 n.
constexpr std::size_t textOffset(std::size_t n) {
  return n * kTextWidth;
}
constexpr std::size_t enabledOffset(std::size_t n) {
  return 252 + 12 * n;
}
constexpr std::size_t rowOffset(std::size_t n) {
  return 256 + 12 * n;
}
constexpr std::size_t columnOffset(std::size_t n) {
  return 260 + 12 * n;
}
inline constexpr std::size_t kWorkbookPath = 412;
inline constexpr std::size_t kWorkbookPathWidth = 256;
inline constexpr std::size_t kColumnSpec = 668;
inline constexpr std::size_t kColumnSpecWidth = 256;
inline constexpr std::size_t kFirstBodyRow = 924;
inline constexpr std::size_t kLastBodyRow = 928;
inline constexpr std::size_t kBorderWeight = 932;
inline constexpr std::size_t kRecordCount = 936;
inline constexpr std::size_t kPagination = 940;
inline constexpr std::size_t kSubtotalSwitchA = 944;
inline constexpr std::size_t kSubtotalSwitchB = 948;
}  // namespace header

namespace row {
inline constexpr std::size_t kExtraColumns = 4394;  // eight texts of 80 bytes
inline constexpr std::size_t kExtraColumnCount = 8;
inline constexpr std::size_t kExtraColumnWidth = 80;
inline constexpr std::size_t kPicturePath = 3040;
// The link to the next record follows the last extra column, aligned to the address width.
inline constexpr std::size_t kNextAddress = kAddressWidth == 8 ? 5040 : 5036;
inline constexpr std::size_t kSize = kNextAddress + kAddressWidth;
}  // namespace row

// A field of the row record named by one column-spec character.
struct RowField {
  char selector;
  std::size_t offset;
  std::size_t room;
};

// Every selector that names a field. "w" names none (an empty framed cell); any character not
// listed takes no column.
inline constexpr std::array<RowField, 40> kRowFields{{
    {'a', 0, 50},     {'b', 50, 50},    {'c', 100, 50},   {'d', 150, 50},   {'e', 200, 50},
    {'f', 250, 50},   {'g', 300, 50},   {'h', 350, 50},   {'i', 400, 50},   {'j', 450, 54},
    {'k', 504, 50},   {'l', 554, 512},  {'m', 1066, 512}, {'n', 1578, 50},  {'o', 1628, 50},
    {'p', 1678, 50},  {'q', 1728, 50},  {'r', 1778, 50},  {'s', 1828, 50},  {'t', 1878, 50},
    {'u', 1928, 50},  {'v', 1978, 50},  {'x', 2028, 50},  {'y', 2078, 50},  {'2', 2128, 256},
    {'3', 2384, 256}, {'1', 2640, 80},  {'z', 2720, 80},  {'4', 2800, 80},  {'5', 2880, 80},
    {'6', 2960, 80},  {'7', 3040, 256}, {'8', 3296, 80},  {'9', 3376, 80},  {'0', 3456, 80},
    {'<', 3536, 30},  {'[', 3566, 30},  {'>', 3596, 286}, {')', 3882, 256}, {'&', 4138, 256},
}};

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
