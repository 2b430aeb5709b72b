#include "kestrel/dual_spec_header.h"

#include <gtest/gtest.h>

#include "tests/kestrel/dual_spec_records.h"

namespace qx::kestrel::testing {
namespace {

TEST(DualSpecHeader, FieldsAreReadAtTheirOffsets) {
  HeaderRecord record;
  record.text(header_fields::header_text1, "one")
      .text(header_fields::header_text2, "two")
      .text(header_fields::header_text3, "three")
      .text(header_fields::header_text4, "four");
  const std::int32_t placements[][3] = {{1, 2, 3}, {0, 5, 6}, {-1, 8, 9}, {4, 11, 12}};
  const std::size_t offsets[] = {200, 212, 224, 248};
  for (std::size_t k = 0; k < 4; ++k) {
    for (std::size_t i = 0; i < 3; ++i) record.int32(offsets[k] + 4 * i, placements[k][i]);
  }
  record.templatePath("C:\\t.xlsx").primary("a1z").secondary("ab").startRow(7).weight(-4138);

  const DualSpecHeader header = decodeDualSpecHeader(record.bytes());
  const char* texts[] = {"one", "two", "three", "four"};
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(header.texts[k].text, texts[k]) << k;
    EXPECT_EQ(header.texts[k].shown, placements[k][0] != 0) << k;
    EXPECT_EQ(header.texts[k].row, placements[k][1]) << k;
    EXPECT_EQ(header.texts[k].column, placements[k][2]) << k;
  }
  EXPECT_EQ(header.templatePath, "C:\\t.xlsx");
  EXPECT_EQ(header.primarySpec, "a1z");
  EXPECT_EQ(header.secondarySpec, "ab");
  EXPECT_EQ(header.startRow, 7);
  EXPECT_EQ(header.borderWeight, -4138);
}

TEST(DualSpecHeader, TheTwelveBytesAt236BelongToNoText) {
  HeaderRecord plain, filled;
  plain.int32(header_fields::show_flag4, 1)
      .int32(header_fields::header_row4, 3)
      .int32(header_fields::header_column4, 4);
  filled.int32(header_fields::show_flag4, 1)
      .int32(header_fields::header_row4, 3)
      .int32(header_fields::header_column4, 4)
      .int32(236, 1)
      .int32(240, 99)
      .int32(244, 98);
  for (const HeaderRecord* record : {&plain, &filled}) {
    const DualSpecHeader header = decodeDualSpecHeader(record->bytes());
    EXPECT_TRUE(header.texts[3].shown);
    EXPECT_EQ(header.texts[3].row, 3);
    EXPECT_EQ(header.texts[3].column, 4);
    EXPECT_FALSE(header.texts[2].shown);
  }
}

TEST(DualSpecHeader, TextsEndAtTheirNulOrTheirSlot) {
  HeaderRecord record;
  record.raw(header_fields::header_text1, std::string(50, 'h'))
      .raw(header_fields::header_text2, std::string("ab\0cd", 5));
  record.raw(header_fields::template_path, std::string(256, 'p'))
      .raw(header_fields::primary_spec, std::string(256, 'z'));
  const DualSpecHeader header = decodeDualSpecHeader(record.bytes());
  EXPECT_EQ(header.texts[0].text, std::string(50, 'h'));
  EXPECT_EQ(header.texts[1].text, "ab");
  EXPECT_EQ(header.templatePath, std::string(256, 'p'));
  EXPECT_EQ(header.primarySpec, std::string(256, 'z'));
  EXPECT_EQ(header.secondarySpec, "");
}

TEST(DualSpecRow, TheLinkAt5456LeadsToTheNextRecord) {
  RowList rows;
  RowRecord& first = rows.add();
  RowRecord& second = rows.add();
  EXPECT_EQ(nextRow(first.bytes()), second.data());
  EXPECT_EQ(nextRow(second.bytes()), nullptr);
}

}  // namespace
}  // namespace qx::kestrel::testing
