// Body rows, group breaks and totals, checked cell by cell on the recording server.

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

class BodyRows : public GroupTableRunTest {
 protected:
  // Records with the given group keys and minutes, time format on.
  void groups(std::initializer_list<std::pair<const char*, double>> records) {
    header.int32(header_fields::time_format, 1);
    for (const auto& [key, minutes] : records) {
      RecordBytes& row = rows.add();
      row.utf8Text(row_fields::group_key, key);
      row.real(row_fields::time_value, minutes);
    }
  }
};

TEST_F(BodyRows, VellumWritesHeadingRowsAndGroupTotals) {
  header.utf8Text(header_fields::column_spec, "al");
  header.int32(header_fields::group_column, 4);
  groups({{"A", 30}, {"A", 40}, {"B", 50}});
  run(kVellumRules);
  EXPECT_EQ(writes(), (Strings{"R5C4=A", "R6C1=1", "R6C2=0:30", "R7C1=2", "R7C2=0:40",
                               "R8C1=总计:", "R8C2=1:10", "R9C4=B", "R10C1=3", "R10C2=0:50",
                               "R11C1=总计:", "R11C2=0:50"}));
  // Heading cells are not framed; body and total cells are.
  EXPECT_EQ(frames(), (Strings{"A6", "B6", "A7", "B7", "A8", "B8", "A10", "B10", "A11", "B11"}));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(server.saveCount(), 1);
}

TEST_F(BodyRows, VellumXShowsTheKeyOnceThroughLetterB) {
  header.utf8Text(header_fields::column_spec, "bal");
  groups({{"A", 30}, {"A", 40}, {"B", 50}});
  run(kVellumXRules);
  EXPECT_EQ(writes(), (Strings{"R5C1=A", "R5C2=1", "R5C3=0:30", "R6C1=", "R6C2=2", "R6C3=0:40",
                               "R7C2=总计:", "R7C3=1:10", "R8C1=B", "R8C2=3", "R8C3=0:50",
                               "R9C2=总计:", "R9C3=0:50"}));
  EXPECT_EQ(frames(), (Strings{"A5", "B5", "C5", "A6", "B6", "C6", "B7", "C7", "A8", "B8", "C8",
                               "B9", "C9"}));
}

TEST_F(BodyRows, VellumXWithoutLetterBBreaksOnEveryKeyedRecord) {
  header.utf8Text(header_fields::column_spec, "al");
  groups({{"A", 30}, {"A", 40}, {"B", 50}});
  run(kVellumXRules);
  EXPECT_EQ(writes(), (Strings{"R5C1=1", "R5C2=0:30", "R6C1=总计:", "R6C2=0:30", "R7C1=2",
                               "R7C2=0:40", "R8C1=总计:", "R8C2=0:40", "R9C1=3", "R9C2=0:50",
                               "R10C1=总计:", "R10C2=0:50"}));
}

TEST_F(BodyRows, TimeTextsAndTheMinutesTheyAdd) {
  struct Case {
    double minutes;
    const char* hoursAndMinutes;
    const char* plain;
  };
  const Case cases[] = {
      {0.2, "0:01", "1"},      {0, "0:01", "1"},         {9.05, "0:10", "10"},
      {59.1, "1:00", "60"},    {62, "1:02", "62"},       {125, "2:05", "125"},
      {1439, "23:59", "1439"}, {6000, "100:00", "6000"}, {600.04, "10:00", "600"},
  };
  for (const Case& c : cases) {
    for (const bool hoursFormat : {true, false}) {
      SCOPED_TRACE(std::to_string(c.minutes) + (hoursFormat ? " h:mm" : " plain"));
      RecordingServer fresh;
      fresh.registerAs("Excel.Application");
      RecordList list{row_fields::kSize, row_fields::next};
      list.add().real(row_fields::time_value, c.minutes);
      header.utf8Text(header_fields::column_spec, "al");
      header.int32(header_fields::time_format, hoursFormat ? 1 : 0);
      CapturedMessages shown;
      exportGroupTable(header.data(), list.first(), kVellumXRules, shown);
      const std::string expected = hoursFormat ? c.hoursAndMinutes : c.plain;
      EXPECT_EQ(fresh.cellUtf8(1, 5, 2), expected);
      // The single record's minutes are the total: the text of the running sum.
      EXPECT_EQ(fresh.cellUtf8(1, 6, 2), expected);
      EXPECT_TRUE(shown.shown.empty());
    }
  }
}

TEST_F(BodyRows, PlainTotalsAreNumbersOfTheSum) {
  header.utf8Text(header_fields::column_spec, "al");
  header.int32(header_fields::time_format, 0);
  rows.add().real(row_fields::time_value, 61.5);  // 62
  rows.add().real(row_fields::time_value, 0.5);   // 1
  run(kVellumXRules);
  EXPECT_EQ(cell(5, 2), "62");
  EXPECT_EQ(cell(6, 2), "1");
  EXPECT_EQ(cell(7, 1), "总计:");
  EXPECT_EQ(cell(7, 2), "63");
}

TEST_F(BodyRows, TheNoValueSentinelEmptiesTheRunningSum) {
  header.utf8Text(header_fields::column_spec, "al");
  groups({{"A", 30}, {"A", -10000}, {"A", 20}, {"B", 15}, {"B", -10000}, {"C", 5}});
  run(kVellumRules);
  EXPECT_EQ(writes(), (Strings{"R5C1=A", "R6C1=1", "R6C2=0:30", "R7C1=2", "R7C2=-", "R8C1=3",
                               "R8C2=0:20", "R9C1=总计:", "R9C2=0:20",
                               // B ends on the sentinel: no total row before C.
                               "R10C1=B", "R11C1=4", "R11C2=0:15", "R12C1=5", "R12C2=-", "R13C1=C",
                               "R14C1=6", "R14C2=0:05", "R15C1=总计:", "R15C2=0:05"}));
}

TEST_F(BodyRows, NoTotalAfterALastRecordWithoutTime) {
  header.utf8Text(header_fields::column_spec, "al");
  groups({{"", 30}, {"", -10000}});
  run(kVellumXRules);
  EXPECT_EQ(writes(), (Strings{"R5C1=1", "R5C2=0:30", "R6C1=2", "R6C2=-"}));
}

TEST_F(BodyRows, GroupKeyEdges) {
  struct Case {
    const char* name;
    const BuildRules& rules;
    std::vector<const char*> keys;
    Strings expected;
  };
  const Case cases[] = {
      {"an empty first key is no break", kVellumRules, {"", ""}, {"R5C1=1", "R6C1=2"}},
      {"non-empty to empty takes a heading row",
       kVellumRules,
       {"A", ""},
       {"R5C1=A", "R6C1=1", "R7C1=", "R8C1=2"}},
      {"equal keys share one heading", kVellumRules, {"甲", "甲"}, {"R5C1=甲", "R6C1=1", "R7C1=2"}},
      {"vellum_x writes no heading rows", kVellumXRules, {"A", "B"}, {"R5C1=1", "R6C1=2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingServer fresh;
    fresh.registerAs("Excel.Application");
    RecordList list{row_fields::kSize, row_fields::next};
    for (const char* key : c.keys) list.add().utf8Text(row_fields::group_key, key);
    header.utf8Text(header_fields::column_spec, "a");
    CapturedMessages shown;
    exportGroupTable(header.data(), list.first(), c.rules, shown);
    EXPECT_EQ(writesOf(fresh), c.expected);
  }
}

TEST_F(BodyRows, UnknownCharactersTakeNoColumnAndNoFrame) {
  header.utf8Text(header_fields::column_spec, "aX?Z09 b");
  rows.add().raw(row_fields::b_text, "bee");
  run(kVellumRules);
  EXPECT_EQ(writes(), (Strings{"R5C1=1", "R5C2=bee"}));
  EXPECT_EQ(frames(), (Strings{"A5", "B5"}));
}

TEST_F(BodyRows, ASpecWithoutLWritesNoTotals) {
  header.utf8Text(header_fields::column_spec, "ab");
  groups({{"A", 30}, {"B", 40}});
  run(kVellumXRules);
  EXPECT_EQ(writes(), (Strings{"R5C1=1", "R5C2=A", "R6C1=2", "R6C2=B"}));
}

TEST_F(BodyRows, TheTotalColumnIsTheFirstLEvenAfterUnknownCharacters) {
  // The l fills column 2, but the total column counts the X as well.
  header.utf8Text(header_fields::column_spec, "aXl");
  groups({{"", 30}});
  run(kVellumXRules);
  EXPECT_EQ(writes(), (Strings{"R5C1=1", "R5C2=0:30", "R6C2=总计:", "R6C3=0:30"}));
}

TEST_F(BodyRows, ATotalColumnOf28UsesDoubleLetterAddresses) {
  header.utf8Text(header_fields::column_spec, std::string(25, 'r') + "ral");  // l at 28
  groups({{"", 70}});
  run(kVellumXRules);
  EXPECT_EQ(cell(5, 27), "1");
  EXPECT_EQ(cell(5, 28), "1:10");
  EXPECT_EQ(cell(6, 27), "总计:");
  EXPECT_EQ(cell(6, 28), "1:10");
  const Strings all = frames();
  ASSERT_EQ(all.size(), 30u);
  EXPECT_EQ(all[25], "Z5");
  EXPECT_EQ(all[26], "AA5");
  EXPECT_EQ((Strings{all[28], all[29]}), (Strings{"AA6", "AB6"}));
  // Worksheet.Range receives "$Z$5" for column 26 and "AB6" (no dollar signs) for column 28.
  Strings references;
  for (const Call& call : server.calls()) {
    if (call.operation() == "Worksheet.Range") {
      references.push_back(platform::utf16ToUtf8(call.arguments[0].textValue()));
    }
  }
  EXPECT_EQ(references[25], "$Z$5");
  EXPECT_EQ(references.back(), "AB6");
}

TEST_F(BodyRows, ASpecStartingWithLWritesTheTotalWithoutALabel) {
  header.utf8Text(header_fields::column_spec, "la");
  groups({{"", 30}, {"", 12}});
  run(kVellumXRules);
  EXPECT_EQ(writes(), (Strings{"R5C1=0:30", "R5C2=1", "R6C1=0:12", "R6C2=2", "R7C1=0:42"}));
  EXPECT_EQ(frames(), (Strings{"A5", "B5", "A6", "B6", "A7"}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(BodyRows, OnlyTheFirst79LettersOfTheSpecAreUsed) {
  header.raw(header_fields::column_spec, std::string(80, 'r'));  // no NUL in the field
  rows.add();
  run(kVellumXRules);
  EXPECT_EQ(frames().size(), 79u);
}

TEST_F(BodyRows, TheBorderWeightReachesEveryFrame) {
  header.utf8Text(header_fields::column_spec, "al");
  header.int32(header_fields::border_weight, -4138);
  groups({{"", 5}});
  run(kVellumXRules);
  ASSERT_EQ(server.frames().size(), 4u);
  for (const Frame& frame : server.frames()) {
    EXPECT_EQ(frame.weight.integerValue(), -4138);
  }
}

}  // namespace
}  // namespace qx::testing
