#include "heron/check_point_file.h"

#include <gtest/gtest.h>

#include "tests/heron/open_files.h"
#include "tests/support/record_bytes.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::heron;

namespace {

namespace header_fields = platform::records::check_point_header;

platform::Bytes bytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(CheckPointHeaderDecoding, EveryIntegerComesFromItsOffset) {
  struct Case {
    platform::Int32Field at;
    std::int32_t CheckPointHeader::*field;
  };
  const Case cases[] = {
      {header_fields::text1_flag, &CheckPointHeader::text1Flag},
      {header_fields::text1_row, &CheckPointHeader::text1Row},
      {header_fields::text1_col, &CheckPointHeader::text1Col},
      {header_fields::text2_flag, &CheckPointHeader::text2Flag},
      {header_fields::text2_row, &CheckPointHeader::text2Row},
      {header_fields::text2_col, &CheckPointHeader::text2Col},
      {header_fields::text3_flag, &CheckPointHeader::text3Flag},
      {header_fields::text3_row, &CheckPointHeader::text3Row},
      {header_fields::text3_col, &CheckPointHeader::text3Col},
      {header_fields::first_row, &CheckPointHeader::firstRow},
      {header_fields::border_weight, &CheckPointHeader::borderWeight},
      {header_fields::row_count, &CheckPointHeader::rowCount},
  };
  RecordBytes bytes{header_fields::kSize};
  // Distinct values in every word before the first text, the host's reserved words included.
  for (std::size_t offset = 0; offset < header_fields::text1.offset; offset += 4) {
    bytes.int32(offset, static_cast<std::int32_t>(0x01020300 + offset) * -1);
  }
  const CheckPointHeader header = decodeHeader(bytes.bytes());
  for (const Case& c : cases) {
    EXPECT_EQ(header.*c.field, static_cast<std::int32_t>(0x01020300 + c.at.offset) * -1)
        << c.at.offset;
  }
}

TEST(CheckPointHeaderDecoding, TextsComeFromTheirSlotsWithText3BeforeText2) {
  RecordBytes bytes{header_fields::kSize};
  bytes.text(header_fields::text1, "first")
      .text(header_fields::text3, "third")
      .text(header_fields::text2, "second")
      .text(header_fields::column_spec, "abcdw");
  bytes.text(header_fields::template_path, "C:\\\xC4\xA3\xB0\xE5.xlsx")
      .text(header_fields::picture_cell1, "B20")
      .text(header_fields::picture_cell2, "F30");
  const CheckPointHeader header = decodeHeader(bytes.bytes());
  EXPECT_EQ(header.text1, "first");
  EXPECT_EQ(header.text2, "second");
  EXPECT_EQ(header.text3, "third");
  EXPECT_EQ(header.columnSpec, "abcdw");
  EXPECT_EQ(header.templatePath, "C:\\\xC4\xA3\xB0\xE5.xlsx");  // GBK bytes unchanged
  EXPECT_EQ(header.pictureCell1, "B20");
  EXPECT_EQ(header.pictureCell2, "F30");
}

TEST(CheckPointHeaderDecoding, ATextEndsAtItsNulOrAtTheEndOfItsSlot) {
  RecordBytes bytes{header_fields::kSize};
  // text3 fills its 80 bytes without NUL and text2 follows directly: text3 must stop at 80.
  bytes.text(header_fields::text3, std::string(80, 'x')).text(header_fields::text2, "next");
  // Bytes after a NUL inside the slot are ignored.
  bytes.text(header_fields::text1, std::string("kept\0ignored", 12));
  // The last slot of the record without NUL ends with the record.
  bytes.text(header_fields::picture_cell2, std::string(30, 'Z'));
  const CheckPointHeader header = decodeHeader(bytes.bytes());
  EXPECT_EQ(header.text3, std::string(80, 'x'));
  EXPECT_EQ(header.text2, "next");
  EXPECT_EQ(header.text1, "kept");
  EXPECT_EQ(header.pictureCell2, std::string(30, 'Z'));
}

TEST(CheckPointRowDecoding, FourFieldsOfEightyBytesAndTheTailIsNotRead) {
  const CheckPointRow row = decodeRow(bytesOf(checkPointRow("a1", "b1", "", std::string(80, 'd'))));
  EXPECT_EQ(row.fieldA, "a1");
  EXPECT_EQ(row.fieldB, "b1");
  EXPECT_EQ(row.fieldC, "");
  EXPECT_EQ(row.fieldD, std::string(80, 'd'));  // no NUL: ends at its slot, not in the tail
}

class CheckPointFileReading : public ::testing::Test {
 protected:
  std::filesystem::path write(const std::string& bytes) { return dir.write("data.dat", bytes); }
  TempDir dir;
};

TEST_F(CheckPointFileReading, DestroyingTheFileClosesIt) {
  const auto path = write("x");
  {
    std::optional<CheckPointFile> file = CheckPointFile::open(path);
    ASSERT_TRUE(file);
    CheckPointFile moved = std::move(*file);
    EXPECT_TRUE(openedByThisProcess(path));
  }
  EXPECT_FALSE(openedByThisProcess(path));
}

TEST_F(CheckPointFileReading, MissingFileAndDirectoryDoNotOpen) {
  EXPECT_FALSE(CheckPointFile::open(dir.path() / "none.dat"));
  EXPECT_FALSE(CheckPointFile::open(dir.path()));
}

TEST_F(CheckPointFileReading, ShortHeaderAndShortRowAreDistinctResults) {
  RecordBytes header{header_fields::kSize};
  header.int32(header_fields::row_count, 2).text(header_fields::text1, "t");
  struct Case {
    std::string bytes;
    ReadResult headerRead, firstRow, secondRow;
  };
  const std::string row = checkPointRow("a", "b", "c", "d");
  const std::string full = checkPointFile(header);
  const Case cases[] = {
      {"", ReadResult::ShortHeader, ReadResult::ShortRow, ReadResult::ShortRow},
      {full.substr(0, 1043), ReadResult::ShortHeader, ReadResult::ShortRow, ReadResult::ShortRow},
      {full, ReadResult::Complete, ReadResult::ShortRow, ReadResult::ShortRow},
      {full + row.substr(0, 327), ReadResult::Complete, ReadResult::ShortRow, ReadResult::ShortRow},
      {full + row + row.substr(0, 1), ReadResult::Complete, ReadResult::Complete,
       ReadResult::ShortRow},
      {full + row + row, ReadResult::Complete, ReadResult::Complete, ReadResult::Complete},
  };
  for (const Case& c : cases) {
    std::optional<CheckPointFile> file = CheckPointFile::open(write(c.bytes));
    ASSERT_TRUE(file);
    CheckPointHeader decoded;
    decoded.text1 = "untouched";
    CheckPointRow record;
    EXPECT_EQ(file->readHeader(decoded), c.headerRead) << c.bytes.size();
    if (c.headerRead != ReadResult::Complete) {
      EXPECT_EQ(decoded.text1, "untouched");
    }
    EXPECT_EQ(file->readRow(record), c.firstRow) << c.bytes.size();
    EXPECT_EQ(file->readRow(record), c.secondRow) << c.bytes.size();
  }
}

TEST_F(CheckPointFileReading, RecordsComeInFileOrderAndSurplusBytesAreLeftAlone) {
  RecordBytes header{header_fields::kSize};
  header.int32(header_fields::row_count, 2).text(header_fields::column_spec, "ab");
  const auto path = write(checkPointFile(
      header, {checkPointRow("r0", "", "", ""), checkPointRow("r1", "", "", ""), "surplus"}));
  std::optional<CheckPointFile> file = CheckPointFile::open(path);
  ASSERT_TRUE(file);
  CheckPointHeader decoded;
  CheckPointRow record;
  ASSERT_EQ(file->readHeader(decoded), ReadResult::Complete);
  EXPECT_EQ(decoded.rowCount, 2);
  EXPECT_EQ(decoded.columnSpec, "ab");
  ASSERT_EQ(file->readRow(record), ReadResult::Complete);
  EXPECT_EQ(record.fieldA, "r0");
  ASSERT_EQ(file->readRow(record), ReadResult::Complete);
  EXPECT_EQ(record.fieldA, "r1");
  EXPECT_TRUE(openedByThisProcess(path));  // the check the run tests rely on
  file->close();
  EXPECT_FALSE(file->isOpen());
  EXPECT_FALSE(openedByThisProcess(path));
  EXPECT_EQ(file->readRow(record), ReadResult::ShortRow);  // a closed file reads nothing
}

}  // namespace
}  // namespace qx::testing
