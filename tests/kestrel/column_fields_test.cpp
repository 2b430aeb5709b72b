// Which row field each column-spec symbol writes, checked against the record layout.

#include <algorithm>
#include <string>

#include "tests/kestrel/run_fixture.h"

namespace qx::testing {

using namespace qx::kestrel;

namespace {

enum class Kind { Int, Text };
struct Field {
  char symbol;
  Kind kind;
  std::size_t offset;
  std::size_t width;
};

// The row record's fields by symbol ("a" and "z" select no field and are tested on their own).
constexpr Field kPrimaryFields[] = {
    {'1', Kind::Int, 4, 4},       {'c', Kind::Int, 8, 4},       {'p', Kind::Int, 12, 4},
    {'9', Kind::Int, 16, 4},      {'q', Kind::Int, 20, 4},      {'t', Kind::Int, 24, 4},
    {'u', Kind::Int, 28, 4},      {'m', Kind::Int, 32, 4},      {'n', Kind::Text, 36, 30},
    {'8', Kind::Text, 66, 30},    {'o', Kind::Text, 96, 30},    {'r', Kind::Text, 126, 30},
    {'s', Kind::Text, 156, 30},   {'b', Kind::Text, 186, 31},   {'d', Kind::Text, 217, 80},
    {'e', Kind::Text, 297, 80},   {'f', Kind::Text, 377, 80},   {'j', Kind::Text, 457, 80},
    {'h', Kind::Text, 537, 30},   {'g', Kind::Text, 567, 30},   {'i', Kind::Text, 597, 30},
    {'k', Kind::Text, 627, 30},   {'2', Kind::Text, 657, 80},   {'3', Kind::Text, 737, 80},
    {'4', Kind::Text, 817, 80},   {'5', Kind::Text, 897, 80},   {'6', Kind::Text, 977, 80},
    {'7', Kind::Text, 1057, 80},  {'l', Kind::Text, 1137, 80},  {'v', Kind::Text, 1217, 30},
    {'w', Kind::Text, 1247, 30},  {'x', Kind::Text, 1277, 256}, {'y', Kind::Text, 1533, 80},
    {'#', Kind::Text, 1613, 256}, {'$', Kind::Text, 1869, 256}, {'!', Kind::Text, 2125, 80},
    {'0', Kind::Text, 2205, 80},  {'[', Kind::Text, 2285, 30},  {'>', Kind::Text, 2315, 30},
    {'(', Kind::Text, 2345, 256}, {')', Kind::Text, 2601, 256}, {'&', Kind::Text, 2857, 257},
    {'<', Kind::Text, 3114, 80},  {'*', Kind::Text, 3194, 80},  {']', Kind::Text, 3834, 80},
};
constexpr Field kSecondaryFields[] = {
    {'a', Kind::Text, 3274, 80}, {'b', Kind::Text, 3354, 80},  {'c', Kind::Text, 3434, 80},
    {'d', Kind::Text, 3514, 80}, {'h', Kind::Text, 3594, 80},  {'g', Kind::Text, 3674, 80},
    {'f', Kind::Text, 3754, 80}, {'e', Kind::Text, 3914, 80},  {'i', Kind::Text, 3994, 80},
    {'j', Kind::Text, 4074, 80}, {'k', Kind::Text, 4154, 80},  {'l', Kind::Text, 4234, 80},
    {'m', Kind::Text, 4314, 80}, {'n', Kind::Text, 4394, 80},  {'o', Kind::Text, 4474, 80},
    {'p', Kind::Text, 4554, 80}, {'q', Kind::Text, 5194, 256},
};

constexpr std::string_view kFillBytes =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

class DualSpecColumns : public DualSpecRun {
 protected:
  // Fills every field of both tables with its own byte, the texts either as long as their slot
  // allows with a NUL after them, or over the whole slot with no NUL at all. Returns what each
  // column must show: the primary fields first, then the secondary ones.
  std::vector<std::string> fillEveryField(RecordBytes& row, bool terminated) {
    std::vector<std::string> expected;
    std::size_t next = 0;
    auto fill = [&](const Field& field) {
      const char byte = kFillBytes.at(next++);
      if (field.kind == Kind::Int) {
        const std::string bytes(4, byte);
        row.raw(field.offset, bytes);
        expected.push_back(std::to_string(platform::int32At(row.bytes(), field.offset)));
        return;
      }
      const std::string text(terminated ? field.width - 1 : field.width, byte);
      terminated ? row.text(field.offset, text) : row.raw(field.offset, text);
      expected.push_back(text.substr(0, 255));
    };
    std::ranges::for_each(kPrimaryFields, fill);
    std::ranges::for_each(kSecondaryFields, fill);
    return expected;
  }

  void expectColumns(const std::vector<std::string>& expected) {
    std::string primary, secondary;
    for (const Field& field : kPrimaryFields) primary += field.symbol;
    for (const Field& field : kSecondaryFields) secondary += field.symbol;
    header.text(header_fields::primary_spec, primary)
        .text(header_fields::secondary_spec, secondary);
    run();
    ASSERT_TRUE(messages.shown.empty()) << messages.shown[0].text;
    const std::size_t primaryCount = std::size(kPrimaryFields);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const Field& field =
          i < primaryCount ? kPrimaryFields[i] : kSecondaryFields[i - primaryCount];
      EXPECT_EQ(cell(5, static_cast<int>(i) + 1), expected[i])
          << (i < primaryCount ? "primary " : "secondary ") << field.symbol << " at "
          << field.offset;
    }
    ASSERT_EQ(server.frames().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(server.frames()[i].row, 5);
      EXPECT_EQ(server.frames()[i].column, static_cast<int>(i) + 1);
    }
  }
};

TEST_F(DualSpecColumns, EverySymbolWritesItsFieldUpToTheNul) {
  RecordBytes& row = rows.add();
  const std::vector<std::string> expected = fillEveryField(row, true);
  expectColumns(expected);
}

TEST_F(DualSpecColumns, TextsWithoutNulStopAtTheEndOfTheirSlot) {
  RecordBytes& row = rows.add();
  const std::vector<std::string> expected = fillEveryField(row, false);
  expectColumns(expected);
}

TEST_F(DualSpecColumns, NumbersAreSignedDecimals) {
  rows.add()
      .int32(row_fields::primary_1, -5)
      .int32(row_fields::primary_c, 0)
      .int32(row_fields::primary_p, 2147483647)
      .int32(row_fields::primary_9, -2147483647 - 1);
  header.text(header_fields::primary_spec, "1cp9");
  run();
  EXPECT_EQ(cell(5, 1), "-5");
  EXPECT_EQ(cell(5, 2), "0");
  EXPECT_EQ(cell(5, 3), "2147483647");
  EXPECT_EQ(cell(5, 4), "-2147483648");
}

TEST_F(DualSpecColumns, UnknownAndUpperCaseSymbolsTakeNoColumn) {
  rows.add()
      .text(row_fields::primary_b, "pb")
      .text(row_fields::secondary_a, "sa")
      .text(row_fields::secondary_b, "sb")
      .text(row_fields::primary_hash, "hash");
  // Upper case, space, a GBK lead byte and marks outside the alphabets; digits and punctuation
  // belong to the primary alphabet only.
  header
      .text(header_fields::primary_spec,
            "aX b?\xCA\xC7"
            "B")
      .text(header_fields::secondary_spec, "A1#ayZb");
  run();
  EXPECT_EQ(cell(5, 1), "1");
  EXPECT_EQ(cell(5, 2), "pb");
  EXPECT_EQ(cell(5, 3), "sa");
  EXPECT_EQ(cell(5, 4), "sb");
  EXPECT_EQ(frameAddresses(), (std::vector<std::string>{"A5", "B5", "C5", "D5"}));
  EXPECT_EQ(server.cell(1, 5, 5), std::nullopt);
}

TEST_F(DualSpecColumns, KeepSymbolsFrameTheTemplateCellWithoutWritingIt) {
  server.setCellUtf8(1, 5, 3, "template C5");
  server.setCellUtf8(1, 5, 4, "template D5");
  rows.add()
      .int32(row_fields::primary_1, 42)
      .text(row_fields::primary_hash, "hash")
      .text(row_fields::secondary_a, "second a");
  header.text(header_fields::primary_spec, "a1z").text(header_fields::secondary_spec, "za");
  run();
  EXPECT_EQ(cell(5, 1), "1");
  EXPECT_EQ(cell(5, 2), "42");
  EXPECT_EQ(cell(5, 3), "template C5");
  EXPECT_EQ(cell(5, 4), "template D5");
  EXPECT_EQ(cell(5, 5), "second a");
  EXPECT_EQ(writesTo(5, 3), 0);
  EXPECT_EQ(writesTo(5, 4), 0);
  EXPECT_EQ(frameAddresses(), (std::vector<std::string>{"A5", "B5", "C5", "D5", "E5"}));
}

TEST_F(DualSpecColumns, TheOrdinalCountsRecordsAlongTheList) {
  for (int i = 0; i < 3; ++i) rows.add();
  header.text(header_fields::primary_spec, "a");
  run();
  EXPECT_EQ(cell(5, 1), "1");
  EXPECT_EQ(cell(6, 1), "2");
  EXPECT_EQ(cell(7, 1), "3");
}

TEST_F(DualSpecColumns, AnOverlongTextIsCutAtACharacterBoundary) {
  const std::string zhong = "\xD6\xD0";  // one two-byte character
  std::string wide;
  for (int i = 0; i < 128; ++i) wide += zhong;
  struct Case {
    std::string stored, shown;
  };
  const Case cases[] = {
      {std::string(256, 'y'), std::string(255, 'y')},
      {wide, wide.substr(0, 254)},  // 255 would split a character
      {std::string("x").append(wide, 0, 254).append("y"), std::string("x").append(wide, 0, 254)},
      {std::string("x").append(wide, 0, 252).append("yz"),  // exactly 255
       std::string("x").append(wide, 0, 252).append("yz")},
  };
  for (const Case& c : cases) rows.add().text(row_fields::primary_amp, c.stored);
  header.text(header_fields::primary_spec, "&");
  run();
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cell(5 + static_cast<int>(i), 1), cases[i].shown) << i;
  }
}

}  // namespace
}  // namespace qx::testing
