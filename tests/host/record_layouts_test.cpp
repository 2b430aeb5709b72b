// The record layouts as the host and the exporters agreed them, written out independently of
// include/qx/host_records.h: every field's offset, width and kind. The shared layouts, which
// every decoder and encoder reads, must match this table field for field.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "host/field_tables.h"
#include "platform/record_fields.h"
#include "tamarack/result_records.h"

namespace qx::testing {

using namespace qx::host;

namespace {

constexpr FieldKind kInt32 = FieldKind::Int32;
constexpr FieldKind kDouble = FieldKind::Double;
constexpr FieldKind kText = FieldKind::Text;
constexpr FieldKind kAddress = FieldKind::Address;

struct ContractField {
  const char* name;
  std::size_t offset, width;
  FieldKind kind;
};

// clang-format off
const ContractField kCheckPointHeader[] = {
    {"text1_flag", 0, 4, kInt32},
    {"text1_row", 4, 4, kInt32},
    {"text1_col", 8, 4, kInt32},
    {"text2_flag", 12, 4, kInt32},
    {"text2_row", 16, 4, kInt32},
    {"text2_col", 20, 4, kInt32},
    {"text3_flag", 24, 4, kInt32},
    {"text3_row", 28, 4, kInt32},
    {"text3_col", 32, 4, kInt32},
    {"reserved_36", 36, 4, kInt32},
    {"first_row", 40, 4, kInt32},
    {"reserved_44", 44, 4, kInt32},
    {"border_weight", 48, 4, kInt32},
    {"row_count", 52, 4, kInt32},
    {"text1", 56, 256, kText},
    {"text3", 312, 80, kText},
    {"text2", 392, 80, kText},
    {"column_spec", 472, 256, kText},
    {"template_path", 728, 256, kText},
    {"picture_cell1", 984, 30, kText},
    {"picture_cell2", 1014, 30, kText},
};

const ContractField kCheckPointRow[] = {
    {"field_a", 0, 80, kText},
    {"field_b", 80, 80, kText},
    {"field_c", 160, 80, kText},
    {"field_d", 240, 80, kText},
};

const ContractField kGroupTableHeader[] = {
    {"picture_flag", 0, 4, kInt32},
    {"slot1_show", 4, 4, kInt32},
    {"slot1_row", 8, 4, kInt32},
    {"slot1_column", 12, 4, kInt32},
    {"slot2_show", 16, 4, kInt32},
    {"slot2_row", 20, 4, kInt32},
    {"slot2_column", 24, 4, kInt32},
    {"slot5_show", 28, 4, kInt32},
    {"slot5_row", 32, 4, kInt32},
    {"slot5_column", 36, 4, kInt32},
    {"slot6_show", 40, 4, kInt32},
    {"slot6_row", 44, 4, kInt32},
    {"slot6_column", 48, 4, kInt32},
    {"slot7_show", 52, 4, kInt32},
    {"slot7_row", 56, 4, kInt32},
    {"slot7_column", 60, 4, kInt32},
    {"slot8_show", 64, 4, kInt32},
    {"slot8_row", 68, 4, kInt32},
    {"slot8_column", 72, 4, kInt32},
    {"slot9_show", 76, 4, kInt32},
    {"slot9_row", 80, 4, kInt32},
    {"slot9_column", 84, 4, kInt32},
    {"slot10_show", 88, 4, kInt32},
    {"slot10_row", 92, 4, kInt32},
    {"slot10_column", 96, 4, kInt32},
    {"slot11_show", 100, 4, kInt32},
    {"slot11_row", 104, 4, kInt32},
    {"slot11_column", 108, 4, kInt32},
    {"slot12_show", 112, 4, kInt32},
    {"slot12_row", 116, 4, kInt32},
    {"slot12_column", 120, 4, kInt32},
    {"slot13_show", 124, 4, kInt32},
    {"slot13_row", 128, 4, kInt32},
    {"slot13_column", 132, 4, kInt32},
    {"slot14_show", 136, 4, kInt32},
    {"slot14_row", 140, 4, kInt32},
    {"slot14_column", 144, 4, kInt32},
    {"slot15_show", 148, 4, kInt32},
    {"slot15_row", 152, 4, kInt32},
    {"slot15_column", 156, 4, kInt32},
    {"slot22_show", 160, 4, kInt32},
    {"slot22_row", 164, 4, kInt32},
    {"slot22_column", 168, 4, kInt32},
    {"slot3_show", 172, 4, kInt32},
    {"slot3_row", 176, 4, kInt32},
    {"slot3_column", 180, 4, kInt32},
    {"slot4_show", 184, 4, kInt32},
    {"slot4_row", 188, 4, kInt32},
    {"slot4_column", 192, 4, kInt32},
    {"slot16_show", 196, 4, kInt32},
    {"slot16_row", 200, 4, kInt32},
    {"slot16_column", 204, 4, kInt32},
    {"slot17_show", 208, 4, kInt32},
    {"slot17_row", 212, 4, kInt32},
    {"slot17_column", 216, 4, kInt32},
    {"slot18_show", 220, 4, kInt32},
    {"slot18_row", 224, 4, kInt32},
    {"slot18_column", 228, 4, kInt32},
    {"slot19_show", 232, 4, kInt32},
    {"slot19_row", 236, 4, kInt32},
    {"slot19_column", 240, 4, kInt32},
    {"slot20_show", 244, 4, kInt32},
    {"slot20_row", 248, 4, kInt32},
    {"slot20_column", 252, 4, kInt32},
    {"slot21_show", 256, 4, kInt32},
    {"slot21_row", 260, 4, kInt32},
    {"slot21_column", 264, 4, kInt32},
    {"slot23_show", 268, 4, kInt32},
    {"slot23_row", 272, 4, kInt32},
    {"slot23_column", 276, 4, kInt32},
    {"slot24_show", 280, 4, kInt32},
    {"slot24_row", 284, 4, kInt32},
    {"slot24_column", 288, 4, kInt32},
    {"border_weight", 292, 4, kInt32},
    {"start_row", 296, 4, kInt32},
    {"group_column", 304, 4, kInt32},
    {"time_format", 308, 4, kInt32},
    {"slot1_text", 312, 256, kText},
    {"slot2_text", 568, 80, kText},
    {"slot3_text", 648, 256, kText},
    {"slot4_text", 904, 80, kText},
    {"slot5_text", 984, 133, kText},
    {"slot6_text", 1117, 256, kText},
    {"slot7_text", 1373, 256, kText},
    {"slot8_text", 1629, 133, kText},
    {"slot9_text", 1762, 133, kText},
    {"slot10_text", 1895, 80, kText},
    {"slot11_text", 1975, 256, kText},
    {"slot12_text", 2231, 256, kText},
    {"slot13_text", 2487, 133, kText},
    {"slot14_text", 2620, 80, kText},
    {"slot15_text", 2700, 80, kText},
    {"slot16_text", 2780, 80, kText},
    {"slot17_text", 2860, 80, kText},
    {"slot18_text", 2940, 80, kText},
    {"slot19_text", 3020, 30, kText},
    {"slot20_text", 3050, 30, kText},
    {"slot21_text", 3080, 30, kText},
    {"slot22_text", 3110, 80, kText},
    {"slot23_text", 3190, 80, kText},
    {"slot24_text", 3270, 80, kText},
    {"template_path", 3350, 256, kText},
    {"column_spec", 3606, 80, kText},
    {"picture_first_cell", 3686, 80, kText},
    {"picture_last_cell", 3766, 80, kText},
    {"reference_value", 3848, 8, kDouble},
    {"e_correction", 3856, 8, kDouble},
    {"x_correction", 3864, 8, kDouble},
    {"y_correction", 3872, 8, kDouble},
};

const ContractField kGroupTableRow[] = {
    {"group_key", 4, 80, kText},
    {"b_text", 84, 266, kText},
    {"text_5", 350, 500, kText},
    {"text_c", 850, 31, kText},
    {"text_g", 881, 259, kText},
    {"number_d", 1140, 4, kInt32},
    {"value_s1", 1144, 8, kDouble},
    {"value_s2", 1152, 8, kDouble},
    {"value_f", 1160, 8, kDouble},
    {"value_t", 1168, 8, kDouble},
    {"value_n", 1176, 8, kDouble},
    {"value_m", 1184, 8, kDouble},
    {"value_p", 1192, 8, kDouble},
    {"value_o", 1200, 8, kDouble},
    {"value_h", 1208, 8, kDouble},
    {"value_i", 1216, 8, kDouble},
    {"level_value", 1224, 8, kDouble},
    {"time_value", 1232, 8, kDouble},
    {"number_z", 1240, 4, kInt32},
    {"yes_flag", 1244, 4, kInt32},
    {"value_u", 1248, 8, kDouble},
    {"value_v", 1256, 8, kDouble},
    {"value_y", 1264, 8, kDouble},
    {"value_x2", 1272, 8, kDouble},
    {"text_w", 1280, 256, kText},
    {"text_6", 1536, 256, kText},
    {"text_7", 1792, 512, kText},
    {"text_q", 2304, 260, kText},
    {"text_2", 2564, 81, kText},
    {"text_3", 2645, 1000, kText},
    {"text_4", 3645, 267, kText},
    {"next", 3912, 8, kAddress},
};

const ContractField kDualSpecHeader[] = {
    {"header_text1", 0, 50, kText},
    {"header_text2", 50, 50, kText},
    {"header_text3", 100, 50, kText},
    {"header_text4", 150, 50, kText},
    {"show_flag1", 200, 4, kInt32},
    {"header_row1", 204, 4, kInt32},
    {"header_column1", 208, 4, kInt32},
    {"show_flag2", 212, 4, kInt32},
    {"header_row2", 216, 4, kInt32},
    {"header_column2", 220, 4, kInt32},
    {"show_flag3", 224, 4, kInt32},
    {"header_row3", 228, 4, kInt32},
    {"header_column3", 232, 4, kInt32},
    {"show_flag4", 248, 4, kInt32},
    {"header_row4", 252, 4, kInt32},
    {"header_column4", 256, 4, kInt32},
    {"template_path", 260, 256, kText},
    {"primary_spec", 516, 256, kText},
    {"secondary_spec", 772, 256, kText},
    {"start_row", 1028, 4, kInt32},
    {"border_weight", 1032, 4, kInt32},
};

const ContractField kDualSpecRow[] = {
    {"primary_1", 4, 4, kInt32},
    {"primary_c", 8, 4, kInt32},
    {"primary_p", 12, 4, kInt32},
    {"primary_9", 16, 4, kInt32},
    {"primary_q", 20, 4, kInt32},
    {"primary_t", 24, 4, kInt32},
    {"primary_u", 28, 4, kInt32},
    {"primary_m", 32, 4, kInt32},
    {"primary_n", 36, 30, kText},
    {"primary_8", 66, 30, kText},
    {"primary_o", 96, 30, kText},
    {"primary_r", 126, 30, kText},
    {"primary_s", 156, 30, kText},
    {"primary_b", 186, 31, kText},
    {"primary_d", 217, 80, kText},
    {"primary_e", 297, 80, kText},
    {"primary_f", 377, 80, kText},
    {"primary_j", 457, 80, kText},
    {"primary_h", 537, 30, kText},
    {"primary_g", 567, 30, kText},
    {"primary_i", 597, 30, kText},
    {"primary_k", 627, 30, kText},
    {"primary_2", 657, 80, kText},
    {"primary_3", 737, 80, kText},
    {"primary_4", 817, 80, kText},
    {"primary_5", 897, 80, kText},
    {"primary_6", 977, 80, kText},
    {"primary_7", 1057, 80, kText},
    {"primary_l", 1137, 80, kText},
    {"primary_v", 1217, 30, kText},
    {"primary_w", 1247, 30, kText},
    {"primary_x", 1277, 256, kText},
    {"primary_y", 1533, 80, kText},
    {"primary_hash", 1613, 256, kText},
    {"primary_dollar", 1869, 256, kText},
    {"primary_bang", 2125, 80, kText},
    {"primary_0", 2205, 80, kText},
    {"primary_lbracket", 2285, 30, kText},
    {"primary_gt", 2315, 30, kText},
    {"primary_lparen", 2345, 256, kText},
    {"primary_rparen", 2601, 256, kText},
    {"primary_amp", 2857, 257, kText},
    {"primary_lt", 3114, 80, kText},
    {"primary_star", 3194, 80, kText},
    {"secondary_a", 3274, 80, kText},
    {"secondary_b", 3354, 80, kText},
    {"secondary_c", 3434, 80, kText},
    {"secondary_d", 3514, 80, kText},
    {"secondary_h", 3594, 80, kText},
    {"secondary_g", 3674, 80, kText},
    {"secondary_f", 3754, 80, kText},
    {"primary_rbracket", 3834, 80, kText},
    {"secondary_e", 3914, 80, kText},
    {"secondary_i", 3994, 80, kText},
    {"secondary_j", 4074, 80, kText},
    {"secondary_k", 4154, 80, kText},
    {"secondary_l", 4234, 80, kText},
    {"secondary_m", 4314, 80, kText},
    {"secondary_n", 4394, 80, kText},
    {"secondary_o", 4474, 80, kText},
    {"secondary_p", 4554, 80, kText},
    {"option_1", 4634, 80, kText},
    {"option_2", 4714, 80, kText},
    {"option_3", 4794, 80, kText},
    {"option_4", 4874, 80, kText},
    {"option_5", 4954, 80, kText},
    {"option_6", 5034, 80, kText},
    {"option_7", 5114, 80, kText},
    {"secondary_q", 5194, 256, kText},
    {"next", 5456, 8, kAddress},
};

const ContractField kResultHeader[] = {
    {"header_text1", 0, 50, kText},
    {"header_text2", 50, 50, kText},
    {"header_text3", 100, 50, kText},
    {"header_text4", 150, 50, kText},
    {"header_text5", 200, 50, kText},
    {"text1_enabled", 252, 4, kInt32},
    {"text1_row", 256, 4, kInt32},
    {"text1_column", 260, 4, kInt32},
    {"text2_enabled", 264, 4, kInt32},
    {"text2_row", 268, 4, kInt32},
    {"text2_column", 272, 4, kInt32},
    {"text3_enabled", 276, 4, kInt32},
    {"text3_row", 280, 4, kInt32},
    {"text3_column", 284, 4, kInt32},
    {"text4_enabled", 288, 4, kInt32},
    {"text4_row", 292, 4, kInt32},
    {"text4_column", 296, 4, kInt32},
    {"text5_enabled", 300, 4, kInt32},
    {"text5_row", 304, 4, kInt32},
    {"text5_column", 308, 4, kInt32},
    {"workbook_path", 412, 256, kText},
    {"column_spec", 668, 256, kText},
    {"first_body_row", 924, 4, kInt32},
    {"last_body_row", 928, 4, kInt32},
    {"border_weight", 932, 4, kInt32},
    {"record_count", 936, 4, kInt32},
    {"pagination", 940, 4, kInt32},
    {"switch_a", 944, 4, kInt32},
    {"switch_b", 948, 4, kInt32},
};

const ContractField kResultRow[] = {
    {"field_a", 0, 50, kText},
    {"field_b", 50, 50, kText},
    {"field_c", 100, 50, kText},
    {"field_d", 150, 50, kText},
    {"field_e", 200, 50, kText},
    {"field_f", 250, 50, kText},
    {"field_g", 300, 50, kText},
    {"field_h", 350, 50, kText},
    {"field_i", 400, 50, kText},
    {"field_j", 450, 54, kText},
    {"field_k", 504, 50, kText},
    {"field_l", 554, 512, kText},
    {"field_m", 1066, 512, kText},
    {"field_n", 1578, 50, kText},
    {"field_o", 1628, 50, kText},
    {"field_p", 1678, 50, kText},
    {"field_q", 1728, 50, kText},
    {"field_r", 1778, 50, kText},
    {"field_s", 1828, 50, kText},
    {"field_t", 1878, 50, kText},
    {"field_u", 1928, 50, kText},
    {"field_v", 1978, 50, kText},
    {"field_x", 2028, 50, kText},
    {"field_y", 2078, 50, kText},
    {"field_2", 2128, 256, kText},
    {"field_3", 2384, 256, kText},
    {"field_1", 2640, 80, kText},
    {"field_z", 2720, 80, kText},
    {"field_4", 2800, 80, kText},
    {"field_5", 2880, 80, kText},
    {"field_6", 2960, 80, kText},
    {"picture_path", 3040, 256, kText},
    {"field_8", 3296, 80, kText},
    {"field_9", 3376, 80, kText},
    {"field_0", 3456, 80, kText},
    {"field_lt", 3536, 30, kText},
    {"field_lbracket", 3566, 30, kText},
    {"field_gt", 3596, 286, kText},
    {"field_rparen", 3882, 256, kText},
    {"field_amp", 4138, 256, kText},
    {"extra_1", 4394, 80, kText},
    {"extra_2", 4474, 80, kText},
    {"extra_3", 4554, 80, kText},
    {"extra_4", 4634, 80, kText},
    {"extra_5", 4714, 80, kText},
    {"extra_6", 4794, 80, kText},
    {"extra_7", 4874, 80, kText},
    {"extra_8", 4954, 80, kText},
};

// clang-format on

// The result records' addresses for each address width: the 32-bit Windows build and the 64-bit
// builds.
struct AddressContract {
  std::size_t width, headerBlock, firstRow, rowNext, rowSize;
};
constexpr AddressContract kResultAddresses[] = {{4, 0, 4, 5036, 5040}, {8, 0, 8, 5040, 5048}};

void expectLayout(const RecordLayout& layout, std::size_t size,
                  std::span<const ContractField> contract) {
  EXPECT_EQ(layout.size, size) << layout.name;
  EXPECT_EQ(layout.fields.size(), contract.size()) << layout.name;
  for (const ContractField& field : contract) {
    const FieldSpec* spec = layout.find(field.name);
    if (spec == nullptr) {
      ADD_FAILURE() << layout.name << " has no field " << field.name;
      continue;
    }
    EXPECT_EQ(spec->offset, field.offset) << layout.name << "." << field.name;
    EXPECT_EQ(spec->width, field.width) << layout.name << "." << field.name;
    EXPECT_EQ(spec->kind, field.kind) << layout.name << "." << field.name;
  }
}

TEST(RecordLayouts, EveryFieldLiesWhereTheContractPutsIt) {
  struct Record {
    const RecordLayout& layout;
    std::size_t size;
    std::span<const ContractField> fields;
  };
  const Record records[] = {
      {checkPointHeader(), 1044, kCheckPointHeader}, {checkPointRow(), 328, kCheckPointRow},
      {groupTableHeader(), 3880, kGroupTableHeader}, {groupTableRow(), 3920, kGroupTableRow},
      {dualSpecHeader(), 1036, kDualSpecHeader},     {dualSpecRow(), 5464, kDualSpecRow},
      {resultHeader(), 952, kResultHeader},
  };
  for (const Record& record : records) expectLayout(record.layout, record.size, record.fields);
}

TEST(RecordLayouts, TheResultRowEndsWithALinkOfTheBuildsAddressWidth) {
  const std::size_t width = sizeof(void*);
  const AddressContract& addresses = kResultAddresses[width == 4 ? 0 : 1];
  std::vector<ContractField> fields(std::begin(kResultRow), std::end(kResultRow));
  fields.push_back({"next", addresses.rowNext, width, kAddress});
  expectLayout(resultRow(), addresses.rowSize, fields);
}

TEST(RecordLayouts, ResultAddressesForBothWidths) {
  for (const AddressContract& c : kResultAddresses) {
    const platform::records::ResultAddressFields fields =
        platform::records::resultAddressFields(c.width);
    EXPECT_EQ(fields.headerBlock.offset, c.headerBlock) << c.width;
    EXPECT_EQ(fields.headerBlock.width, c.width);
    EXPECT_EQ(fields.firstRow.offset, c.firstRow) << c.width;
    EXPECT_EQ(fields.firstRow.width, c.width);
    EXPECT_EQ(fields.rowNext.offset, c.rowNext) << c.width;
    EXPECT_EQ(fields.rowNext.width, c.width);
    EXPECT_EQ(fields.rowSize, c.rowSize) << c.width;
  }
}

// Little-endian bytes of `value`, `width` of them, at `offset`.
void put(std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t width,
         std::uint64_t value) {
  for (std::size_t i = 0; i < width; ++i) bytes[offset + i] = (value >> (8 * i)) & 0xFF;
}

// Either build's layout decodes from bytes on this machine: the addresses are only read, never
// followed, so the 32-bit Windows layout is checked here too.
TEST(RecordLayouts, TamarackDecodesTheTransferRecordAndRowLinkOfEitherWidth) {
  for (const AddressContract& c : kResultAddresses) {
    const std::uint64_t header = c.width == 4 ? 0x11223344u : 0x1122334455667788u;
    const std::uint64_t firstRow = c.width == 4 ? 0x99AABBCCu : 0x99AABBCCDDEEFF01u;
    std::vector<std::uint8_t> transfer(platform::records::result_transfer::kSize, 0xEE);
    put(transfer, c.headerBlock, c.width, header);
    put(transfer, c.firstRow, c.width, firstRow);
    const tamarack::TransferRecord decoded = tamarack::decodeTransferRecord(transfer, c.width);
    EXPECT_EQ(decoded.headerAddress, header) << c.width;
    EXPECT_EQ(decoded.firstRowAddress, firstRow) << c.width;

    std::vector<std::uint8_t> row(c.rowSize, 0xEE);
    put(row, c.rowNext, c.width, firstRow);
    EXPECT_EQ(tamarack::decodeRowLink(row, c.width), firstRow) << c.width;
    put(row, c.rowNext, c.width, 0);
    EXPECT_EQ(tamarack::decodeRowLink(row, c.width), 0u) << c.width;
  }
}

}  // namespace
}  // namespace qx::testing
