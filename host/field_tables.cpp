#include "host/field_tables.h"

#include "include/qx/host_records.h"

namespace qx::host {

namespace {
constexpr FieldKind kINT32 = FieldKind::Int32;
constexpr FieldKind kDOUBLE = FieldKind::Double;
constexpr FieldKind kTEXT = FieldKind::Text;
constexpr FieldKind kADDRESS = FieldKind::Address;
#define QX_FIELD_SPEC(name, offset, width, kind) FieldSpec{#name, offset, width, k##kind},
constexpr std::size_t kCellTextBytes = 255;

constexpr FieldSpec kCheckPointHeader[] = {QX_CHECK_POINT_HEADER_FIELDS(QX_FIELD_SPEC)};
constexpr FieldSpec kCheckPointRow[] = {QX_CHECK_POINT_ROW_FIELDS(QX_FIELD_SPEC)};
constexpr FieldSpec kGroupTableHeader[] = {QX_GROUP_TABLE_HEADER_FIELDS(QX_FIELD_SPEC)};
constexpr FieldSpec kGroupTableRow[] = {QX_GROUP_TABLE_ROW_FIELDS(QX_FIELD_SPEC)};
constexpr FieldSpec kDualSpecHeader[] = {QX_DUAL_SPEC_HEADER_FIELDS(QX_FIELD_SPEC)};
constexpr FieldSpec kDualSpecRow[] = {QX_DUAL_SPEC_ROW_FIELDS(QX_FIELD_SPEC)};
constexpr FieldSpec kResultHeader[] = {QX_RESULT_HEADER_FIELDS(QX_FIELD_SPEC)};
constexpr FieldSpec kResultRow[] = {QX_RESULT_ROW_FIELDS(QX_FIELD_SPEC)};
}  // namespace

const FieldSpec* RecordLayout::find(std::string_view field) const {
  for (const FieldSpec& spec : fields) {
    if (spec.name == field) return &spec;
  }
  return nullptr;
}

const RecordLayout& checkPointHeader() {
  static const RecordLayout layout{
      "QX_CHECK_POINT_HEADER", QX_CHECK_POINT_HEADER_SIZE, kCheckPointHeader, {}};
  return layout;
}
const RecordLayout& checkPointRow() {
  static const RecordLayout layout{
      "QX_CHECK_POINT_ROW", QX_CHECK_POINT_ROW_SIZE, kCheckPointRow, {}};
  return layout;
}
const RecordLayout& groupTableHeader() {
  static const RecordLayout layout{
      "QX_GROUP_TABLE_HEADER", QX_GROUP_TABLE_HEADER_SIZE, kGroupTableHeader, {}};
  return layout;
}
const RecordLayout& groupTableRow() {
  // vellum builds every cell text in 256 bytes, kestrel in 255 and the NUL; tamarack and
  // heron write their fields whole.
  static const RecordLayout layout{"QX_GROUP_TABLE_ROW",
                                   QX_GROUP_TABLE_ROW_SIZE,
                                   kGroupTableRow,
                                   {kCellTextBytes, "vellum and vellum_x write"}};
  return layout;
}
const RecordLayout& dualSpecHeader() {
  static const RecordLayout layout{
      "QX_DUAL_SPEC_HEADER", QX_DUAL_SPEC_HEADER_SIZE, kDualSpecHeader, {}};
  return layout;
}
const RecordLayout& dualSpecRow() {
  static const RecordLayout layout{
      "QX_DUAL_SPEC_ROW", QX_DUAL_SPEC_ROW_SIZE, kDualSpecRow, {kCellTextBytes, "kestrel writes"}};
  return layout;
}
const RecordLayout& resultHeader() {
  static const RecordLayout layout{"QX_RESULT_HEADER", QX_RESULT_HEADER_SIZE, kResultHeader, {}};
  return layout;
}
const RecordLayout& resultRow() {
  static const RecordLayout layout{"QX_RESULT_ROW", QX_RESULT_ROW_SIZE, kResultRow, {}};
  return layout;
}

}  // namespace qx::host
