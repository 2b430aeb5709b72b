// The host encodes from the public record header; heron decodes with its own offsets. A field
// that either side places wrongly shows here.
#include <gtest/gtest.h>

#include "heron/check_point_file.h"
#include "host/description.h"
#include "include/qx/host_records.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::host;

namespace {

TEST(HeronLayout, EveryHeaderAndRowFieldDecodesAsTheHostEncodedIt) {
  TempDir dir;
  const Description d = loadDescription(dir.write("r.json", R"({
    "exporter": "heron", "template": "t.xlsx",
    "header": {"text1_flag": 1, "text1_row": 2, "text1_col": 3, "text2_flag": 4, "text2_row": 5,
               "text2_col": 6, "text3_flag": 7, "text3_row": 8, "text3_col": 9,
               "first_row": 10, "border_weight": -4138, "row_count": 12,
               "text1": "一", "text2": "二", "text3": "三", "column_spec": "abwdc",
               "template_path": "/t.xlsx", "picture_cell1": "F2", "picture_cell2": "H12"},
    "rows": [{"field_a": "甲", "field_b": "乙", "field_c": "丙", "field_d": "丁"}]})"));
  const auto header = encodeRecord(d, checkPointHeader(), d.header, "/header");
  ASSERT_EQ(header.size(), heron::kHeaderSize);
  const heron::CheckPointHeader h = heron::decodeHeader(header);
  EXPECT_EQ(h.text1Flag, 1);
  EXPECT_EQ(h.text1Row, 2);
  EXPECT_EQ(h.text1Col, 3);
  EXPECT_EQ(h.text2Flag, 4);
  EXPECT_EQ(h.text2Row, 5);
  EXPECT_EQ(h.text2Col, 6);
  EXPECT_EQ(h.text3Flag, 7);
  EXPECT_EQ(h.text3Row, 8);
  EXPECT_EQ(h.text3Col, 9);
  EXPECT_EQ(h.firstRow, 10);
  EXPECT_EQ(h.borderWeight, -4138);
  EXPECT_EQ(h.rowCount, 12);
  EXPECT_EQ(h.text1, "\xD2\xBB");  // 一
  EXPECT_EQ(h.text2, "\xB6\xFE");  // 二
  EXPECT_EQ(h.text3, "\xC8\xFD");  // 三
  EXPECT_EQ(h.columnSpec, "abwdc");
  EXPECT_EQ(h.templatePath, "/t.xlsx");
  EXPECT_EQ(h.pictureCell1, "F2");
  EXPECT_EQ(h.pictureCell2, "H12");

  ASSERT_EQ(d.rows.size(), 1u);
  const auto& row = d.rows[0];
  ASSERT_EQ(row.size(), heron::kRowSize);
  const heron::CheckPointRow r = heron::decodeRow(row);
  EXPECT_EQ(r.fieldA, "\xBC\xD7");  // 甲
  EXPECT_EQ(r.fieldB, "\xD2\xD2");  // 乙
  EXPECT_EQ(r.fieldC, "\xB1\xFB");  // 丙
  EXPECT_EQ(r.fieldD, "\xB6\xA1");  // 丁
}

}  // namespace
}  // namespace qx::testing
