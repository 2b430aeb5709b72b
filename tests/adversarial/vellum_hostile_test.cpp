// vellum (excel_file) and vellum_x (excel_file_auto) with hostile records from the host:
// placements outside the sheet, rows past the 32-bit range, weights the server has no line
// for, doubles that are no numbers, every text slot full, pictures that are missing or are no
// picture, a row list of 200,000 records and row lists that loop.

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/code_page.h"
#include "tests/adversarial/deliverables.h"
#include "tests/adversarial/library_run_outcome.h"
#include "tests/support/record_bytes.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;

namespace header_fields = platform::records::group_table_header;
namespace row_fields = platform::records::group_table_row;

struct Build {
  const char* library;
  const char* exportName;
};
const Build kVellumBuild{kVellum, "excel_file"};
const Build kVellumXBuild{kVellumX, "excel_file_auto"};
void PrintTo(const Build& build, std::ostream* out) {
  *out << build.exportName;
}

class VellumHostile : protected LibraryRunOutcome {
 protected:
  explicit VellumHostile(Build build) : LibraryRunOutcome("vellum"), build_(build) {
    header.utf8Text(header_fields::template_path, shownText(workbook));
    header.int32(header_fields::start_row, 5);
    header.int32(header_fields::group_column, 3);
    header.int32(header_fields::border_weight, 2);
    header.utf8Text(header_fields::column_spec, "ac");
    rows.add().utf8Text(row_fields::group_key, "G");
    rows[0].utf8Text(row_fields::text_c, "C");
  }

  void run(const void* firstRow) {
    callTableExport(build_.library, build_.exportName, header.data(), firstRow);
  }
  void run() { run(rows.first()); }

  Build build_;
  RecordBytes header{header_fields::kSize};
  RecordList rows{row_fields::kSize, row_fields::next};
};

class VellumBuilds : public VellumHostile, public ::testing::TestWithParam<Build> {
 protected:
  VellumBuilds() : VellumHostile(GetParam()) {}
  void TearDown() override { EXPECT_FALSE(leaksSinceLastCheck()); }
  bool isVellumX() const { return GetParam().library == kVellumX; }
};

// Header slot 1 at cells that do not exist ends the run with one message, unsaved.
TEST_P(VellumBuilds, HeaderSlotsOutsideTheSheetAreRefused) {
  const std::pair<int, int> places[] = {{0, 1},       {1, 0},       {-1, -1},  {INT_MIN, 1},
                                        {1, INT_MAX}, {1048577, 1}, {1, 16385}};
  for (const auto& [row, column] : places) {
    header.slot(slots::kGroupTable[0], platform::utf8ToGbk("标题"), row, column, true);
    run();
    expectRefused("Range.Item");
    header.slot(slots::kGroupTable[0], platform::utf8ToGbk(""), 1, 1, false);
    std::filesystem::remove(setting.folder() / "messages.log");
  }
}

TEST_P(VellumBuilds, TheLastCellOfTheSheetTakesAHeaderSlot) {
  header.slot(slots::kGroupTable[23], platform::utf8ToGbk("角落"), 1048576, 16384, true);
  run();
  expectSaved();
  EXPECT_EQ(readCells(workbook, 0, {"XFD1048576"})["XFD1048576"].value, "角落");
}

struct StartRow {
  const char* name;
  std::int32_t row;
  const char* spec;
  int records;
  const char* refusedBy;  // null: saved
};
class VellumStartRow : public VellumHostile,
                       public ::testing::TestWithParam<std::tuple<StartRow, Build>> {
 protected:
  VellumStartRow() : VellumHostile(std::get<1>(GetParam())) {}
  void TearDown() override { EXPECT_FALSE(leaksSinceLastCheck()); }
};
void PrintTo(const StartRow& row, std::ostream* out) {
  *out << row.name;
}

TEST_P(VellumStartRow, RowsOffTheSheetEndWithOneMessage) {
  const StartRow& p = std::get<0>(GetParam());
  header.int32(header_fields::start_row, p.row);
  header.utf8Text(header_fields::column_spec, p.spec);
  for (int i = 1; i < p.records; ++i) rows.add().utf8Text(row_fields::group_key, "G");
  run();
  if (p.refusedBy == nullptr) {
    expectSaved();
  } else {
    expectRefused(p.refusedBy);
  }
}

const StartRow kStartRows[] = {
    {"Zero", 0, "ac", 1, "Range.Item"},
    {"Negative", -4, "ac", 1, "Range.Item"},
    {"IntMin", INT_MIN, "ac", 1, "Range.Item"},
    {"BeyondTheSheet", 1048577, "ac", 1, "Range.Item"},
    {"SecondRecordBeyondTheSheet", 1048576, "ac", 2, "Range.Item"},
    {"IntMaxThenOneMore", INT_MAX, "ac", 2, "Range.Item"},
    // No column takes a cell: rows run past the 32-bit range without a write and nothing may
    // overflow on the way (vellum's group heading row is still refused).
    {"IntMaxWithoutColumns", INT_MAX - 1, "XYZ", 4, nullptr},
};
INSTANTIATE_TEST_SUITE_P(Rows, VellumStartRow,
                         ::testing::Combine(::testing::ValuesIn(kStartRows),
                                            ::testing::Values(kVellumXBuild)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name);
                         });

TEST_P(VellumBuilds, HeadingRowPastTheInt32RangeIsRefused) {
  // vellum writes a heading row per group; from the last 32-bit row the next one is refused.
  header.int32(header_fields::start_row, INT_MAX);
  header.utf8Text(header_fields::column_spec, "XYZ");
  run();
  if (isVellumX()) {
    expectSaved();
  } else {
    expectRefused("Range.Item");
  }
}

TEST_P(VellumBuilds, GroupColumnsOutsideTheSheetAreRefusedByVellum) {
  header.int32(header_fields::group_column, 0);
  run();
  if (isVellumX()) {
    expectSaved();  // vellum_x writes no heading rows, and never reads the group column
  } else {
    expectRefused("Range.Item");
  }
}

TEST_P(VellumBuilds, BorderWeightsOutsideTheServersCodesAreRefused) {
  for (const std::int32_t weight : {0, 3, -1, 32767, INT_MIN, INT_MAX}) {
    header.int32(header_fields::border_weight, weight);
    run();
    expectRefused("Range.BorderAround");
    std::filesystem::remove(setting.folder() / "messages.log");
  }
  header.int32(header_fields::border_weight, 0x7FFF0004);  // the low 16 bits are 4: thick
  run();
  expectSaved();
  const std::string firstCell = isVellumX() ? "A5" : "A6";  // vellum: a heading row first
  EXPECT_EQ(readCells(workbook, 0, {firstCell})[firstCell].border, "thick,thick,thick,thick");
}

// Doubles the host may hold by mistake: each letter still gives a text, and the run saves.
struct Oddity {
  const char* name;
  const char* spec;
  platform::DoubleField field;
  double value;
  const char* shown;  // what column 1 shows
};
class VellumDoubles : public VellumHostile,
                      public ::testing::TestWithParam<std::tuple<Oddity, Build>> {
 protected:
  VellumDoubles() : VellumHostile(std::get<1>(GetParam())) {}
  void TearDown() override { EXPECT_FALSE(leaksSinceLastCheck()); }
};
void PrintTo(const Oddity& oddity, std::ostream* out) {
  *out << oddity.name;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST_P(VellumDoubles, GiveATextAndTheRunSaves) {
  const Oddity& p = std::get<0>(GetParam());
  header.utf8Text(header_fields::column_spec, p.spec);
  rows[0].real(p.field, p.value);
  run();
  expectSaved();
  EXPECT_EQ(readCells(workbook, 0, {"A5"})["A5"].value, p.shown);
}

const Oddity kOddities[] = {
    {"LevelNaN", "e", row_fields::level_value, kNaN, "0"},
    {"LevelInfinite", "e", row_fields::level_value, -kInf, "2147483647"},
    {"LevelNaNAsDifference", "j", row_fields::level_value, kNaN, "nan"},
    {"ValueInfinite", "f", row_fields::value_f, kInf, "inf"},
    {"ValueMinusInfinite", "f", row_fields::value_f, -kInf, "-inf"},
    {"TimeNaN", "l", row_fields::time_value, kNaN, "0"},
    {"TimeInfinite", "l", row_fields::time_value, kInf, "2147483647"},
    {"TimeMinusInfinite", "l", row_fields::time_value, -kInf, "-2147483648"},
    {"YNaN", "y", row_fields::value_y, kNaN, "-"},
};
INSTANTIATE_TEST_SUITE_P(Values, VellumDoubles,
                         ::testing::Combine(::testing::ValuesIn(kOddities),
                                            ::testing::Values(kVellumXBuild)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name);
                         });

TEST_P(VellumBuilds, ANumberTooLongForItsTextStopsTheRunWithOneMessage) {
  header.utf8Text(header_fields::column_spec, "f");
  rows[0].real(row_fields::value_f, 1e300);
  run();
  expectOneMessage("导出中止: ");
}

// "中" in code page 936 over `room` bytes with no NUL.
std::string fullOfChinese(std::size_t room) {
  std::string text;
  while (text.size() < room) text += "\xD6\xD0";
  return text.substr(0, room);
}

TEST_P(VellumBuilds, EverySlotFullToItsLastByte) {
  const std::string folder = hostText(setting.folder()) + "/";
  const fs::path longPath =
      exampleTemplate(setting, "vellum", std::string(256 - folder.size() - 5, 'v') + ".xlsx");
  ASSERT_EQ(hostText(longPath).size(), 256u);
  workbook = longPath;
  before = fileBytes(workbook);
  header.raw(header_fields::template_path, hostText(longPath));
  // All 24 slots shown in row 1, columns 1 to 24, each text filling its room.
  const platform::TextField texts[] = {
      header_fields::slot1_text,  header_fields::slot2_text,  header_fields::slot3_text,
      header_fields::slot4_text,  header_fields::slot5_text,  header_fields::slot6_text,
      header_fields::slot7_text,  header_fields::slot8_text,  header_fields::slot9_text,
      header_fields::slot10_text, header_fields::slot11_text, header_fields::slot12_text,
      header_fields::slot13_text, header_fields::slot14_text, header_fields::slot15_text,
      header_fields::slot16_text, header_fields::slot17_text, header_fields::slot18_text,
      header_fields::slot19_text, header_fields::slot20_text, header_fields::slot21_text,
      header_fields::slot22_text, header_fields::slot23_text, header_fields::slot24_text};
  for (int slot = 1; slot <= 24; ++slot)
    header.slot(slots::kGroupTable[slot - 1], platform::utf8ToGbk(""), 1, slot, true);
  for (const platform::TextField text : texts) header.raw(text, fullOfChinese(text.width));
  // 80 bytes of letters, no NUL: only the first 79 count.
  std::string letters;
  while (letters.size() < 80) letters += "bcgqw2345678";
  header.raw(header_fields::column_spec, letters.substr(0, 80));
  header.int32(header_fields::start_row, 3);
  RecordBytes& row = rows[0];
  // Every text up to the first number, and every text after the numbers.
  row.raw(row_fields::group_key,
          fullOfChinese(row_fields::number_d.offset - row_fields::group_key.offset));
  row.raw(row_fields::text_w, fullOfChinese(row_fields::next.offset - row_fields::text_w.offset));
  run();

  expectSaved();
  const std::string r = isVellumX() ? "3" : "4";  // vellum: a heading row first
  std::map<std::string, ShownCell> cells =
      readCells(workbook, 0, {"A1", "E1", "S1", "X1", "A" + r, "CA" + r, "CB" + r});
  EXPECT_EQ(cells.at("A1").value, platform::gbkToUtf8(fullOfChinese(256)));
  EXPECT_EQ(cells.at("X1").value, platform::gbkToUtf8(fullOfChinese(80)));
  EXPECT_EQ(cells.at("S1").value, platform::gbkToUtf8(fullOfChinese(30)));
  // Slot 5's room of 133 bytes ends on a lone first byte, which names no character.
  EXPECT_EQ(cells.at("E1").value.rfind(platform::gbkToUtf8(fullOfChinese(132)), 0), 0u);
  // Letter b: the 266-byte text at 84 (vellum), or the 80-byte group key (vellum_x, shown on
  // the group's first row).
  const std::string b = isVellumX() ? fullOfChinese(80) : fullOfChinese(255);
  EXPECT_EQ(cells["A" + r].value.rfind(platform::gbkToUtf8(b.substr(0, 254)), 0), 0u);
  EXPECT_EQ(cells["CA" + r].border, "thin,thin,thin,thin");  // the 79th letter's column
  EXPECT_EQ(cells["CB" + r], (ShownCell{"", ",,,"}));        // the 80th byte takes none
}

TEST_P(VellumBuilds, MissingAndFalsePicturesAreToldOnce) {
  header.int32(header_fields::picture_flag, 1)
      .utf8Text(header_fields::picture_first_cell, "E2")
      .utf8Text(header_fields::picture_last_cell, "G8");
  run();  // no picture file at all: told, and saved all the same
  expectSaved({"没有产生图片文件, 将不可以帖图!"});

  setting.write("temp/post_excel_sheet_pictrue.bmp", "这不是图片");
  before = fileBytes(workbook);
  std::filesystem::remove(setting.folder() / "messages.log");
  run();
  expectRefused("Shapes.AddPicture");
}

TEST_P(VellumBuilds, PictureCornersThatNameNoCellAreRefused) {
  setting.copy(examplePicture(), "temp/post_excel_sheet_pictrue.bmp");
  header.int32(header_fields::picture_flag, 1)
      .utf8Text(header_fields::picture_first_cell, "")
      .utf8Text(header_fields::picture_last_cell, "ZZZ99999999");
  run();
  expectRefused("Worksheet.Range");
}

TEST_P(VellumBuilds, ANullHeaderReturnsWithoutAWord) {
  callTableExport(build_.library, build_.exportName, nullptr, rows.first());
  callTableExport(build_.library, build_.exportName, nullptr, nullptr);
  EXPECT_EQ(setting.messages(), std::vector<std::string>{});
  EXPECT_EQ(fileBytes(workbook), before);
}

TEST_P(VellumBuilds, ANullRowListSkipsTheBodyOrTheCall) {
  header.slot(slots::kGroupTable[0], platform::utf8ToGbk("只有表头"), 2, 1, true);
  run(nullptr);
  EXPECT_EQ(setting.messages(), std::vector<std::string>{});
  if (isVellumX()) {
    EXPECT_EQ(readCells(workbook, 0, {"A2"})["A2"].value, "只有表头");
  } else {
    EXPECT_EQ(fileBytes(workbook), before);  // vellum needs both records
  }
}

TEST_P(VellumBuilds, APictureOverTheWholeSheetIsPlaced) {
  setting.copy(examplePicture(), "temp/post_excel_sheet_pictrue.bmp");
  header.int32(header_fields::picture_flag, 1)
      .utf8Text(header_fields::picture_first_cell, "XFD1048576")
      .utf8Text(header_fields::picture_last_cell, "A1");  // corners in either order
  run();
  expectSaved();
}

TEST_P(VellumBuilds, ALoopingRowListIsRefused) {
  for (const std::size_t loopTo : {0u, 2u}) {
    RecordBlock chain(3, row_fields::kSize, row_fields::next);
    chain.link(2, chain.record(loopTo));
    const std::size_t shownBefore = setting.messages().size();
    run(chain.first());
    const std::vector<std::string> messages = setting.messages();
    ASSERT_EQ(messages.size(), shownBefore + 1) << "loop to " << loopTo;
    EXPECT_EQ(messages.back(), kLoopingRowListMessage);
    EXPECT_EQ(fileBytes(workbook), before);
  }
}

INSTANTIATE_TEST_SUITE_P(Builds, VellumBuilds, ::testing::Values(kVellumBuild, kVellumXBuild),
                         [](const auto& info) { return std::string(info.param.exportName); });

TEST(VellumLongList, ARowListOf200000RecordsCompletes) {
  const HostSetting setting;
  const fs::path workbook = exampleTemplate(setting, "vellum");
  RecordBytes header{header_fields::kSize};
  header.utf8Text(header_fields::template_path, shownText(workbook));
  header.int32(header_fields::start_row, 3);
  header.int32(header_fields::border_weight, 2);
  header.utf8Text(header_fields::column_spec, "al");
  RecordBlock chain(200000, row_fields::kSize, row_fields::next);
  const double minute = 1;
  for (std::size_t i = 0; i < chain.count(); ++i) {
    std::memcpy(chain.record(i) + row_fields::time_value.offset, &minute, sizeof minute);
  }

  const auto start = std::chrono::steady_clock::now();
  callTableExport(kVellumX, "excel_file_auto", header.data(), chain.first());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("vellum_x: 200000 records, 400000 framed cells and the total in %.2f s\n", seconds);

  EXPECT_EQ(setting.messages(), std::vector<std::string>{});
  const RowSummary summary = summarizeRows(workbook);
  ASSERT_GE(summary.lastRow.size(), 2u);
  EXPECT_EQ(summary.lastRow[0], "总计:");
  EXPECT_EQ(summary.lastRow[1], "200000");  // 200,000 minutes as a plain number
  EXPECT_FALSE(leaksSinceLastCheck());
}

}  // namespace
}  // namespace qx::testing
