// heron with hostile data files from the host: files that are no data file, rows and cells
// outside the sheet, weights the server has no line for, every text slot full, pictures that
// are missing or no picture, and 200,000 body records. The program must exit (never die of a
// signal) after one clear message.

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>

#include "platform/code_page.h"
#include "tests/adversarial/deliverables.h"
#include "tests/support/record_bytes.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;
namespace header_fields = platform::records::check_point_header;
using platform::utf8ToGbk;

class HeronHostile : public ::testing::Test {
 protected:
  HeronHostile() {
    header.int32(header_fields::first_row, 5)
        .int32(header_fields::border_weight, 2)
        .int32(header_fields::row_count, 1)
        .text(header_fields::column_spec, "ab")
        .text(header_fields::picture_cell1, "F2")
        .text(header_fields::picture_cell2, "H12");
    header.text(header_fields::template_path, hostText(workbook));
    rows.push_back(checkPointRow("1", utf8ToGbk("甲"), "", ""));
    setting.copy(examplePicture(), "temp/set_check_point_pictrue.bmp");
  }
  void TearDown() override { EXPECT_FALSE(leaksSinceLastCheck()); }

  ProgramEnd run() {
    const std::string data = checkPointFile(header, rows);
    return runHeron(setting, &data);
  }
  // The program exited with `code` after exactly `told`; the template is as it was.
  void expectEnd(const ProgramEnd& end, int code, const std::vector<std::string>& told) {
    EXPECT_TRUE(end.exited) << "ended by signal " << end.signal;
    EXPECT_EQ(end.code, code);
    EXPECT_EQ(setting.messages(), told);
    EXPECT_EQ(fileBytes(workbook), before);
  }
  void expectRefused(const ProgramEnd& end, const std::string& member) {
    EXPECT_TRUE(end.exited) << "ended by signal " << end.signal;
    EXPECT_EQ(end.code, 2);
    const std::vector<std::string> messages = setting.messages();
    ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(messages);
    EXPECT_TRUE(startsWith(messages[0], std::string(kServerFailurePrefix) + member + ": "))
        << messages[0];
    EXPECT_EQ(fileBytes(workbook), before);
  }
  void expectSaved(const ProgramEnd& end, const std::vector<std::string>& told = {}) {
    EXPECT_TRUE(end.exited) << "ended by signal " << end.signal;
    EXPECT_EQ(end.code, 0);
    EXPECT_EQ(setting.messages(), told);
    EXPECT_NE(fileBytes(workbook), before);
  }
  void forgetMessages() { fs::remove(setting.folder() / "messages.log"); }

  HostSetting setting;
  fs::path workbook = exampleTemplate(setting, "heron");
  std::string before = fileBytes(workbook);
  RecordBytes header{header_fields::kSize};
  std::vector<std::string> rows;
};

TEST_F(HeronHostile, DataFilesThatAreNoDataFile) {
  expectEnd(runHeron(setting, nullptr), 0, {"打开 excel 的临时文件错误!"});
  forgetMessages();
  const std::string empty;
  expectEnd(runHeron(setting, &empty), 0, {"读头信息错误!"});
  forgetMessages();
  fs::remove(setting.temp("check_point_temp.dat"));
  fs::create_directory(setting.temp("check_point_temp.dat"));
  expectEnd(runHeron(setting, nullptr), 0, {"打开 excel 的临时文件错误!"});
}

struct Placement {
  const char* name;
  std::int32_t row, column;
};
void PrintTo(const Placement& p, std::ostream* out) {
  *out << p.name;
}

class HeronHeaderPlacement : public HeronHostile,
                             public ::testing::WithParamInterface<Placement> {};

TEST_P(HeronHeaderPlacement, OutsideTheSheetEndsWithOneMessage) {
  header.slot(slots::kCheckPoint[1], utf8ToGbk("标题"), GetParam().row, GetParam().column);
  expectRefused(run(), "Range.Item");
}

const Placement kPlacements[] = {
    {"RowZero", 0, 1},          {"ColumnZero", 1, 0},   {"Negative", -1, -1},
    {"IntMin", INT_MIN, 1},     {"IntMax", 1, INT_MAX}, {"RowBeyondTheSheet", 1048577, 1},
    {"ColumnBeyond", 1, 16385},
};
INSTANTIATE_TEST_SUITE_P(Cells, HeronHeaderPlacement, ::testing::ValuesIn(kPlacements),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HeronHostile, FirstRowsOffTheSheetEndWithOneMessage) {
  for (const std::int32_t first : {0, -1, INT_MIN, 1048577, INT_MAX}) {
    header.int32(header_fields::first_row, first).int32(header_fields::row_count, 2);
    rows.assign(2, checkPointRow("1", "2", "", ""));
    expectRefused(run(), "Range.Item");
    forgetMessages();
  }
}

// With the used range at C3, the first body row 0 still names a cell of the used range (row
// 2 of the sheet), but its frame would stand on row 0 of the sheet, which has no address.
TEST_F(HeronHostile, AFrameAboveTheSheetIsToldToo) {
  writeOffsetTemplate(workbook);
  before = fileBytes(workbook);
  header.int32(header_fields::first_row, 0);
  const ProgramEnd end = run();
  EXPECT_TRUE(end.exited);
  EXPECT_EQ(end.code, 2);
  const std::vector<std::string> messages = setting.messages();
  ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(messages);
  EXPECT_TRUE(startsWith(messages[0], kServerFailurePrefix)) << messages[0];
  EXPECT_EQ(fileBytes(workbook), before);
}

TEST_F(HeronHostile, BorderWeightsOutsideTheServersCodesAreRefused) {
  for (const std::int32_t weight : {0, 3, -1, 32767, INT_MIN, INT_MAX}) {
    header.int32(header_fields::border_weight, weight);
    expectRefused(run(), "Range.BorderAround");
    forgetMessages();
  }
}

TEST_F(HeronHostile, ATakenTemplateIsToldAndLeftAlone) {
  header.int32(header_fields::first_row,
               4);  // the examples' template holds its column titles there
  expectEnd(run(), 0,
            {"模板文件“" + shownText(workbook) + "”, 不是一个空的表格, 请清除表格内的内容!"});
}

TEST_F(HeronHostile, MoreRecordsAnnouncedThanWritten) {
  header.int32(header_fields::row_count, INT_MAX);
  expectEnd(run(), 0, {"读表体信息错误!"});
}

// "中" in code page 936 over `room` bytes with no NUL.
std::string fullOfChinese(std::size_t room) {
  std::string text;
  while (text.size() < room) text += "\xD6\xD0";
  return text.substr(0, room);
}

TEST_F(HeronHostile, EverySlotFullToItsLastByte) {
  const std::string folder = hostText(setting.folder()) + "/";
  const fs::path longPath =
      exampleTemplate(setting, "heron", std::string(256 - folder.size() - 5, 'h') + ".xlsx");
  ASSERT_EQ(hostText(longPath).size(), 256u);
  workbook = longPath;
  before = fileBytes(workbook);
  header.text(header_fields::template_path, hostText(longPath));
  header.slot(slots::kCheckPoint[0], fullOfChinese(256), 1, 1)
      .slot(slots::kCheckPoint[1], fullOfChinese(80), 1, 2);
  header.slot(slots::kCheckPoint[2], fullOfChinese(80), 1, 3);
  std::string spec;
  while (spec.size() < 256) spec += "abcdw";
  header.text(header_fields::column_spec, spec.substr(0, 256));
  rows.assign(
      1, checkPointRow(fullOfChinese(80), fullOfChinese(80), fullOfChinese(80), fullOfChinese(80)));
  const ProgramEnd end = run();

  expectSaved(end);
  const auto cells = readCells(workbook, 0, {"A1", "B1", "C1", "A5", "IV5", "IW5"});
  EXPECT_EQ(cells.at("A1").value, platform::gbkToUtf8(fullOfChinese(256)));
  EXPECT_EQ(cells.at("B1").value, platform::gbkToUtf8(fullOfChinese(80)));
  EXPECT_EQ(cells.at("C1").value, platform::gbkToUtf8(fullOfChinese(80)));
  EXPECT_EQ(cells.at("A5"),
            (ShownCell{platform::gbkToUtf8(fullOfChinese(80)), "thin,thin,thin,thin"}));
  EXPECT_EQ(cells.at("IV5").border, "thin,thin,thin,thin");  // the 256th letter's column
  EXPECT_EQ(cells.at("IW5"), (ShownCell{"", ",,,"}));
}

TEST_F(HeronHostile, PictureCornersThatNameNoCellAreRefused) {
  header.text(header_fields::picture_cell1, std::string(30, 'Z'))
      .text(header_fields::picture_cell2, "A1");
  expectRefused(run(), "Worksheet.Range");
}

TEST_F(HeronHostile, MissingAndFalsePicturesAreToldOnce) {
  fs::remove(setting.temp("set_check_point_pictrue.bmp"));
  expectSaved(run(), {"没有产生图片文件, 将不可以帖图!"});
  forgetMessages();
  exampleTemplate(setting, "heron");  // empty again
  before = fileBytes(workbook);
  setting.write("temp/set_check_point_pictrue.bmp", "这不是图片");
  expectRefused(run(), "Shapes.AddPicture");
}

TEST_F(HeronHostile, ADataFileOf200000RecordsCompletes) {
  header.int32(header_fields::row_count, 200000).int32(header_fields::first_row, 5);
  rows.assign(200000, checkPointRow("1", "B", "", ""));
  const auto start = std::chrono::steady_clock::now();
  const ProgramEnd end = run();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("heron: 200000 records, 400000 framed cells in %.2f s\n", seconds);

  expectSaved(end);
  const RowSummary summary = summarizeRows(workbook);
  EXPECT_EQ(summary.rowsWithValues, 200000 + 2);  // the title, the column titles, the table
  ASSERT_GE(summary.lastRow.size(), 2u);
  EXPECT_EQ(summary.lastRow[0], "1");
  EXPECT_EQ(summary.lastRow[1], "B");
}

}  // namespace
}  // namespace qx::testing
