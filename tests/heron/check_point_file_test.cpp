#include "heron/check_point_file.h"

#include <gtest/gtest.h>

#include "tests/heron/check_point_bytes.h"
#include "tests/heron/open_files.h"
#include "tests/support/temp_dir.h"

namespace qx::heron {
namespace {

using testing::HeaderBytes;
using testing::rowBytes;

platform::Bytes bytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(CheckPointHeaderDecoding, EveryIntegerComesFromItsOffset) {
  struct Case {
    std::size_t offset;
    std::int32_t CheckPointHeader::*field;
  };
  const Case cases[] = {
      {0, &CheckPointHeader::text1Flag},     {4, &CheckPointHeader::text1Row},
      {8, &CheckPointHeader::text1Col},      {12, &CheckPointHeader::text2Flag},
      {16, &CheckPointHeader::text2Row},     {20, &CheckPointHeader::text2Col},
      {24, &CheckPointHeader::text3Flag},    {28, &CheckPointHeader::text3Row},
      {32, &CheckPointHeader::text3Col},     {40, &CheckPointHeader::firstRow},
      {48, &CheckPointHeader::borderWeight}, {52, &CheckPointHeader::rowCount},
  };
  HeaderBytes bytes;
  // Distinct values everywhere, the host's own words at 36 and 44 included.
  for (std::size_t offset = 0; offset < 56; offset += 4) {
    bytes.integer(offset, static_cast<std::int32_t>(0x01020300 + offset) * -1);
  }
  const CheckPointHeader header = decodeHeader(bytes.bytes);
  for (const Case& c : cases) {
    EXPECT_EQ(header.*c.field, static_cast<std::int32_t>(0x01020300 + c.offset) * -1) << c.offset;
  }
}

TEST(CheckPointHeaderDecoding, TextsComeFromTheirSlotsWithText3BeforeText2) {
  HeaderBytes bytes;
  bytes.text(56, "first").text(312, "third").text(392, "second").text(472, "abcdw");
  bytes.text(728, "C:\\\xC4\xA3\xB0\xE5.xlsx").text(984, "B20").text(1014, "F30");
  const CheckPointHeader header = decodeHeader(bytes.bytes);
  EXPECT_EQ(header.text1, "first");
  EXPECT_EQ(header.text2, "second");
  EXPECT_EQ(header.text3, "third");
  EXPECT_EQ(header.columnSpec, "abcdw");
  EXPECT_EQ(header.templatePath, "C:\\\xC4\xA3\xB0\xE5.xlsx");  // GBK bytes unchanged
  EXPECT_EQ(header.pictureCell1, "B20");
  EXPECT_EQ(header.pictureCell2, "F30");
}

TEST(CheckPointHeaderDecoding, ATextEndsAtItsNulOrAtTheEndOfItsSlot) {
  HeaderBytes bytes;
  // text3 fills its 80 bytes without NUL and text2 follows directly: text3 must stop at 80.
  bytes.text(312, std::string(80, 'x')).text(392, "next");
  // Bytes after a NUL inside the slot are ignored.
  bytes.text(56, std::string("kept\0ignored", 12));
  // The last slot of the record without NUL ends with the record.
  bytes.text(1014, std::string(30, 'Z'));
  const CheckPointHeader header = decodeHeader(bytes.bytes);
  EXPECT_EQ(header.text3, std::string(80, 'x'));
  EXPECT_EQ(header.text2, "next");
  EXPECT_EQ(header.text1, "kept");
  EXPECT_EQ(header.pictureCell2, std::string(30, 'Z'));
}

TEST(CheckPointRowDecoding, FourFieldsOfEightyBytesAndTheTailIsNotRead) {
  const CheckPointRow row = decodeRow(bytesOf(rowBytes("a1", "b1", "", std::string(80, 'd'))));
  EXPECT_EQ(row.fieldA, "a1");
  EXPECT_EQ(row.fieldB, "b1");
  EXPECT_EQ(row.fieldC, "");
  EXPECT_EQ(row.fieldD, std::string(80, 'd'));  // no NUL: ends at its slot, not in the tail
}

class CheckPointFileReading : public ::testing::Test {
 protected:
  std::filesystem::path write(const std::string& bytes) { return dir.write("data.dat", bytes); }
  qx::testing::TempDir dir;
};

TEST_F(CheckPointFileReading, DestroyingTheFileClosesIt) {
  const auto path = write("x");
  {
    std::optional<CheckPointFile> file = CheckPointFile::open(path);
    ASSERT_TRUE(file);
    CheckPointFile moved = std::move(*file);
    EXPECT_TRUE(testing::openedByThisProcess(path));
  }
  EXPECT_FALSE(testing::openedByThisProcess(path));
}

TEST_F(CheckPointFileReading, MissingFileAndDirectoryDoNotOpen) {
  EXPECT_FALSE(CheckPointFile::open(dir.path() / "none.dat"));
  EXPECT_FALSE(CheckPointFile::open(dir.path()));
}

TEST_F(CheckPointFileReading, ShortHeaderAndShortRowAreDistinctResults) {
  HeaderBytes header;
  header.rowCount(2).text(56, "t");
  struct Case {
    std::string bytes;
    ReadResult headerRead, firstRow, secondRow;
  };
  const std::string row = rowBytes("a", "b", "c", "d");
  const std::string full = testing::fileBytes(header);
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
  HeaderBytes header;
  header.rowCount(2).text(472, "ab");
  const auto path = write(testing::fileBytes(
      header, {rowBytes("r0", "", "", ""), rowBytes("r1", "", "", ""), "surplus"}));
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
  EXPECT_TRUE(testing::openedByThisProcess(path));  // the check the run tests rely on
  file->close();
  EXPECT_FALSE(file->isOpen());
  EXPECT_FALSE(testing::openedByThisProcess(path));
  EXPECT_EQ(file->readRow(record), ReadResult::ShortRow);  // a closed file reads nothing
}

}  // namespace
}  // namespace qx::heron
