#include "kestrel/dual_spec_header.h"

#include <gtest/gtest.h>

#include "kestrel/dual_spec_row.h"
#include "tests/support/record_bytes.h"

namespace qx::testing {

using namespace qx::kestrel;

namespace header_fields = platform::records::dual_spec_header;
namespace row_fields = platform::records::dual_spec_row;
namespace {

TEST(DualSpecHeader, FieldsAreReadAtTheirOffsets) {
  RecordBytes record{header_fields::kSize};
  record.text(header_fields::header_text1, "one")
      .text(header_fields::header_text2, "two")
      .text(header_fields::header_text3, "three")
      .text(header_fields::header_text4, "four");
  const std::int32_t placements[][3] = {{1, 2, 3}, {0, 5, 6}, {-1, 8, 9}, {4, 11, 12}};
  const std::size_t offsets[] = {200, 212, 224, 248};
  for (std::size_t k = 0; k < 4; ++k) {
    for (std::size_t i = 0; i < 3; ++i) record.int32(offsets[k] + 4 * i, placements[k][i]);
  }
  record.text(header_fields::template_path, "C:\\t.xlsx")
      .text(header_fields::primary_spec, "a1z")
      .text(header_fields::secondary_spec, "ab")
      .int32(header_fields::start_row, 7)
      .int32(header_fields::border_weight, -4138);

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
  RecordBytes plain{header_fields::kSize}, filled{header_fields::kSize};
  plain.int32(header_fields::show_flag4, 1)
      .int32(header_fields::header_row4, 3)
      .int32(header_fields::header_column4, 4);
  filled.int32(header_fields::show_flag4, 1)
      .int32(header_fields::header_row4, 3)
      .int32(header_fields::header_column4, 4)
      .int32(236, 1)
      .int32(240, 99)
      .int32(244, 98);
  for (const RecordBytes* record : {&plain, &filled}) {
    const DualSpecHeader header = decodeDualSpecHeader(record->bytes());
    EXPECT_TRUE(header.texts[3].shown);
    EXPECT_EQ(header.texts[3].row, 3);
    EXPECT_EQ(header.texts[3].column, 4);
    EXPECT_FALSE(header.texts[2].shown);
  }
}

TEST(DualSpecHeader, TextsEndAtTheirNulOrTheirSlot) {
  RecordBytes record{header_fields::kSize};
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
  RecordList rows{row_fields::kSize, row_fields::next};
  RecordBytes& first = rows.add();
  RecordBytes& second = rows.add();
  EXPECT_EQ(nextRow(first.bytes()), second.data());
  EXPECT_EQ(nextRow(second.bytes()), nullptr);
}

}  // namespace
}  // namespace qx::testing
