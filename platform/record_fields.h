#pragma once
// Every field of the records shared with the host as a typed constant, generated from the
// layouts of include/qx/host_records.h: records::group_table_row::next is the row link, with
// its offset and width. Decoders and encoders read these; no other file writes an offset.

#include <cstddef>

#include "include/qx/host_records.h"
#include "platform/record_view.h"

namespace qx::platform::records {

namespace field_type {
using INT32 = Int32Field;
using DOUBLE = DoubleField;
using TEXT = TextField;
using ADDRESS = AddressField;
}  // namespace field_type

#define QX_TYPED_FIELD(name, offset, width, kind) \
  inline constexpr field_type::kind name{offset, width};

namespace check_point_header {
inline constexpr std::size_t kSize = QX_CHECK_POINT_HEADER_SIZE;
QX_CHECK_POINT_HEADER_FIELDS(QX_TYPED_FIELD)
}  // namespace check_point_header

namespace check_point_row {
inline constexpr std::size_t kSize = QX_CHECK_POINT_ROW_SIZE;
QX_CHECK_POINT_ROW_FIELDS(QX_TYPED_FIELD)
}  // namespace check_point_row

namespace group_table_header {
inline constexpr std::size_t kSize = QX_GROUP_TABLE_HEADER_SIZE;
QX_GROUP_TABLE_HEADER_FIELDS(QX_TYPED_FIELD)
}  // namespace group_table_header

namespace group_table_row {
inline constexpr std::size_t kSize = QX_GROUP_TABLE_ROW_SIZE;
QX_GROUP_TABLE_ROW_FIELDS(QX_TYPED_FIELD)
}  // namespace group_table_row

namespace dual_spec_header {
inline constexpr std::size_t kSize = QX_DUAL_SPEC_HEADER_SIZE;
QX_DUAL_SPEC_HEADER_FIELDS(QX_TYPED_FIELD)
}  // namespace dual_spec_header

namespace dual_spec_row {
inline constexpr std::size_t kSize = QX_DUAL_SPEC_ROW_SIZE;
QX_DUAL_SPEC_ROW_FIELDS(QX_TYPED_FIELD)
}  // namespace dual_spec_row

// The build's address width: 4 bytes in the 32-bit Windows build, 8 elsewhere.
inline constexpr std::size_t kAddressWidth = QX_ADDRESS_WIDTH;

namespace result_transfer {
inline constexpr std::size_t kSize = QX_RESULT_TRANSFER_SIZE;
QX_RESULT_TRANSFER_FIELDS(QX_TYPED_FIELD)
}  // namespace result_transfer

namespace result_header {
inline constexpr std::size_t kSize = QX_RESULT_HEADER_SIZE;
QX_RESULT_HEADER_FIELDS(QX_TYPED_FIELD)
}  // namespace result_header

namespace result_row {
inline constexpr std::size_t kSize = QX_RESULT_ROW_SIZE;
QX_RESULT_ROW_FIELDS(QX_TYPED_FIELD)
}  // namespace result_row

#undef QX_TYPED_FIELD

// The address fields of the result records for an address width of 4 or 8 bytes, whatever the
// build's own: a 64-bit build decodes the 32-bit layout from bytes with these.
struct ResultAddressFields {
  AddressField headerBlock, firstRow, rowNext;
  std::size_t rowSize;
};

#define QX_ADDRESS_FIELD(name, offset, width, kind) AddressField{offset, width},
constexpr ResultAddressFields resultAddressFields(std::size_t width) {
  const AddressField transfer[] = {QX_RESULT_TRANSFER_FIELDS_OF_WIDTH(QX_ADDRESS_FIELD, width)};
  const AddressField rowNext{static_cast<std::size_t>(QX_RESULT_ROW_NEXT_OFFSET_OF_WIDTH(width)),
                             width};
  return {transfer[0], transfer[1], rowNext, rowNext.end()};
}
#undef QX_ADDRESS_FIELD

static_assert(resultAddressFields(kAddressWidth).rowNext.offset == result_row::next.offset);
static_assert(resultAddressFields(kAddressWidth).rowSize == result_row::kSize);

}  // namespace qx::platform::records
