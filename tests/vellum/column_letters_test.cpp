// What every column letter writes, from a record filled field by field at its offset.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/code_page.h"
#include "tests/vellum/run_fixture.h"
#include "vellum/build_rules.h"
#include "vellum/group_table_run.h"

namespace qx::vellum::test {
namespace {

using Strings = std::vector<std::string>;

class ColumnLetters : public GroupTableRunTest {
 protected:
  ColumnLetters() {
    header.timeFormat(true);
    header.referenceValue(100);
    header.eCorrection(0.2);
    header.xCorrection(0.01);
    header.yCorrection(0.25);
  }

  static void fill(RowRecord& row) {
    row.text(84, 266, "乙文本");
    row.text(350, 500, "五");
    row.text(850, 31, "丙c");
    row.text(881, 259, "庚g");
    row.int32(1140, -7);
    row.real(1144, 12.5);
    row.real(1152, 3);
    row.real(1160, 1.23456);
    row.real(1168, 0.0004);
    row.real(1176, 3.14159);
    row.real(1184, 1000);
    row.real(1192, -1.5);
    row.real(1200, 7);
    row.real(1208, 2.5);
    row.real(1216, -0.0004);
    row.level(37.3);
    row.minutes(125);
    row.int32(1240, 42);
    row.int32(1244, 5);
    row.real(1248, 99.9999);
    row.real(1256, 1e6);
    row.real(1264, 1.75);
    row.real(1272, 0.2);
    row.text(1280, 256, "w文本");
    row.text(1536, 256, "六");
    row.text(1792, 512, "七八");
    row.text(2304, 260, "q文本");
    row.text(2564, 81, "二");
    row.text(2645, 1000, "三");
    row.text(3645, 267, "四");
  }

  // The one cell that `letter` writes for a record, with the frame it draws.
  std::string cellOf(char letter, const BuildRules& rules, void (*adjust)(RowRecord&)) {
    testing::RecordingServer fresh;
    fresh.registerAs("Excel.Application");
    fresh.setCellUtf8(1, 5, 1, "template");
    RowList list;
    RowRecord& row = list.add();
    fill(row);
    if (adjust != nullptr) adjust(row);
    header.columnSpec(std::string(1, letter));
    testing::CapturedMessages shown;
    exportGroupTable(header.data(), list.first(), rules, shown);
    EXPECT_TRUE(shown.shown.empty());
    EXPECT_EQ(framesOf(fresh).front(), "A5");
    return fresh.cellUtf8(1, 5, 1);
  }
};

TEST_F(ColumnLetters, EachLetterWritesItsField) {
  struct Case {
    char letter;
    const char* expected;
    const BuildRules& rules = kVellumRules;
    void (*adjust)(RowRecord&) = nullptr;
  };
  const Case cases[] = {
      {'a', "1"},
      {'b', "乙文本"},
      {'b', "K1", kVellumXRules, [](RowRecord& r) { r.groupKey("K1"); }},
      {'c', "丙c"},
      {'d', "T-7"},
      {'e', "63"},  // floor(100 - 37.3 + 0.5 + 0.2)
      {'f', "1.235"},
      {'g', "庚g"},
      {'h', "2.5"},
      {'i', "-0"},  // rounds to zero and keeps its sign
      {'j', "-62.7"},
      {'k', "37.3"},
      {'l', "2:05"},
      {'m', "1000"},
      {'n', "3.142"},
      {'o', "7"},
      {'p', "-1.5"},
      {'q', "q文本"},
      {'r', "template"},  // framed, not written
      {'s', "D12.5R3"},
      {'s', "D12.5", kVellumRules, [](RowRecord& r) { r.real(1152, 0); }},
      {'t', "0"},
      {'u', "100"},
      {'v', "1000000"},
      {'w', "w文本"},
      {'x', "1.045"},  // 1.23456 - 0.2 + 0.01
      {'y', "3"},      // 1.75 + 0.25 + 0.5, no decimals
      {'y', "-", kVellumRules, [](RowRecord& r) { r.real(1264, 0.01); }},
      {'z', "42"},
      {'1', "Yes"},
      {'1', "-", kVellumRules, [](RowRecord& r) { r.int32(1244, 0); }},
      {'2', "二"},
      {'2', "-", kVellumRules, [](RowRecord& r) { r.text(2564, 81, ""); }},
      {'3', "三"},
      {'3', "-", kVellumRules, [](RowRecord& r) { r.text(2645, 1000, ""); }},
      {'4', "四"},
      {'4', "-", kVellumRules, [](RowRecord& r) { r.text(3645, 267, ""); }},
      {'5', "五"},
      {'6', "六"},
      {'7', "七八"},
      {'8', "七八"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("letter ") + c.letter + " expecting " + c.expected);
    EXPECT_EQ(cellOf(c.letter, c.rules, c.adjust), c.expected);
  }
}

TEST_F(ColumnLetters, TheSentinelShowsADashForLevelsAndTime) {
  for (const char letter : {'e', 'j', 'k'}) {
    EXPECT_EQ(cellOf(letter, kVellumRules, [](RowRecord& r) { r.level(-10000); }), "-") << letter;
  }
  EXPECT_EQ(cellOf('l', kVellumRules, [](RowRecord& r) { r.minutes(-10000); }), "-");
}

TEST_F(ColumnLetters, LetterBInVellumXShowsTheKeyOnlyWhenItChanges) {
  header.columnSpec("b");
  for (const char* key : {"A", "A", "B", "B", "A"}) rows.add().groupKey(key);
  run(kVellumXRules);
  EXPECT_EQ(writes(), (Strings{"R5C1=A", "R6C1=", "R7C1=B", "R8C1=", "R9C1=A"}));
}

TEST_F(ColumnLetters, LongTextsAreCutAtACharacterBoundaryOfTheCellText) {
  // Letter 3 has 1000 bytes of room; a cell text holds 255 bytes and its NUL.
  header.columnSpec("3b");
  RowRecord& row = rows.add();
  std::string wide;
  for (int i = 0; i < 300; ++i) wide += "中";
  row.text(2645, 1000, wide);
  row.raw(84, std::string(266, 'b'));  // the b text fills its room without a NUL
  run(kVellumRules);
  const std::string cut = cell(5, 1);
  EXPECT_EQ(automation::utf8ToGbk(cut).size(), 254u);      // 127 whole two-byte characters
  EXPECT_EQ(cut.find("\xEF\xBF\xBD"), std::string::npos);  // no broken character
  EXPECT_EQ(cell(5, 2), std::string(255, 'b'));
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace qx::vellum::test
