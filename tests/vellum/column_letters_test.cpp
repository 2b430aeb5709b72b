// What every column letter writes, from a record filled field by field at its offset.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/code_page.h"
#include "tests/vellum/run_fixture.h"
#include "vellum/build_rules.h"
#include "vellum/group_table_run.h"

namespace qx::testing {

using namespace qx::vellum;

namespace {

using Strings = std::vector<std::string>;

class ColumnLetters : public GroupTableRunTest {
 protected:
  ColumnLetters() {
    header.int32(header_fields::time_format, 1);
    header.real(header_fields::reference_value, 100);
    header.real(header_fields::e_correction, 0.2);
    header.real(header_fields::x_correction, 0.01);
    header.real(header_fields::y_correction, 0.25);
  }

  static void fill(RecordBytes& row) {
    row.utf8Text(row_fields::b_text, "乙文本");
    row.utf8Text(row_fields::text_5, "五");
    row.utf8Text(row_fields::text_c, "丙c");
    row.utf8Text(row_fields::text_g, "庚g");
    row.int32(row_fields::number_d, -7);
    row.real(row_fields::value_s1, 12.5);
    row.real(row_fields::value_s2, 3);
    row.real(row_fields::value_f, 1.23456);
    row.real(row_fields::value_t, 0.0004);
    row.real(row_fields::value_n, 3.14159);
    row.real(row_fields::value_m, 1000);
    row.real(row_fields::value_p, -1.5);
    row.real(row_fields::value_o, 7);
    row.real(row_fields::value_h, 2.5);
    row.real(row_fields::value_i, -0.0004);
    row.real(row_fields::level_value, 37.3);
    row.real(row_fields::time_value, 125);
    row.int32(row_fields::number_z, 42);
    row.int32(row_fields::yes_flag, 5);
    row.real(row_fields::value_u, 99.9999);
    row.real(row_fields::value_v, 1e6);
    row.real(row_fields::value_y, 1.75);
    row.real(row_fields::value_x2, 0.2);
    row.utf8Text(row_fields::text_w, "w文本");
    row.utf8Text(row_fields::text_6, "六");
    row.utf8Text(row_fields::text_7, "七八");
    row.utf8Text(row_fields::text_q, "q文本");
    row.utf8Text(row_fields::text_2, "二");
    row.utf8Text(row_fields::text_3, "三");
    row.utf8Text(row_fields::text_4, "四");
  }

  // The one cell that `letter` writes for a record, with the frame it draws.
  std::string cellOf(char letter, const BuildRules& rules, void (*adjust)(RecordBytes&)) {
    RecordingServer fresh;
    fresh.registerAs("Excel.Application");
    fresh.setCellUtf8(1, 5, 1, "template");
    RecordList list{row_fields::kSize, row_fields::next};
    RecordBytes& row = list.add();
    fill(row);
    if (adjust != nullptr) adjust(row);
    header.utf8Text(header_fields::column_spec, std::string(1, letter));
    CapturedMessages shown;
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
    void (*adjust)(RecordBytes&) = nullptr;
  };
  const Case cases[] = {
      {'a', "1"},
      {'b', "乙文本"},
      {'b', "K1", kVellumXRules, [](RecordBytes& r) { r.utf8Text(row_fields::group_key, "K1"); }},
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
      {'s', "D12.5", kVellumRules, [](RecordBytes& r) { r.real(row_fields::value_s2, 0); }},
      {'t', "0"},
      {'u', "100"},
      {'v', "1000000"},
      {'w', "w文本"},
      {'x', "1.045"},  // 1.23456 - 0.2 + 0.01
      {'y', "3"},      // 1.75 + 0.25 + 0.5, no decimals
      {'y', "-", kVellumRules, [](RecordBytes& r) { r.real(row_fields::value_y, 0.01); }},
      {'z', "42"},
      {'1', "Yes"},
      {'1', "-", kVellumRules, [](RecordBytes& r) { r.int32(row_fields::yes_flag, 0); }},
      {'2', "二"},
      {'2', "-", kVellumRules, [](RecordBytes& r) { r.utf8Text(row_fields::text_2, ""); }},
      {'3', "三"},
      {'3', "-", kVellumRules, [](RecordBytes& r) { r.utf8Text(row_fields::text_3, ""); }},
      {'4', "四"},
      {'4', "-", kVellumRules, [](RecordBytes& r) { r.utf8Text(row_fields::text_4, ""); }},
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
    EXPECT_EQ(cellOf(letter, kVellumRules,
                     [](RecordBytes& r) { r.real(row_fields::level_value, -10000); }),
              "-")
        << letter;
  }
  EXPECT_EQ(
      cellOf('l', kVellumRules, [](RecordBytes& r) { r.real(row_fields::time_value, -10000); }),
      "-");
}

TEST_F(ColumnLetters, LetterBInVellumXShowsTheKeyOnlyWhenItChanges) {
  header.utf8Text(header_fields::column_spec, "b");
  for (const char* key : {"A", "A", "B", "B", "A"}) rows.add().utf8Text(row_fields::group_key, key);
  run(kVellumXRules);
  EXPECT_EQ(writes(), (Strings{"R5C1=A", "R6C1=", "R7C1=B", "R8C1=", "R9C1=A"}));
}

TEST_F(ColumnLetters, LongTextsAreCutAtACharacterBoundaryOfTheCellText) {
  // Letter 3 has 1000 bytes of room; a cell text holds 255 bytes and its NUL.
  header.utf8Text(header_fields::column_spec, "3b");
  RecordBytes& row = rows.add();
  std::string wide;
  for (int i = 0; i < 300; ++i) wide += "中";
  row.utf8Text(row_fields::text_3, wide);
  row.raw(row_fields::b_text, std::string(266, 'b'));  // the b text fills its room without a NUL
  run(kVellumRules);
  const std::string cut = cell(5, 1);
  EXPECT_EQ(platform::utf8ToGbk(cut).size(), 254u);        // 127 whole two-byte characters
  EXPECT_EQ(cut.find("\xEF\xBF\xBD"), std::string::npos);  // no broken character
  EXPECT_EQ(cell(5, 2), std::string(255, 'b'));
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace qx::testing
