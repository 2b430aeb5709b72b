// The worksheet part: its cells, its used range, and writing it back.

#include "engine/package/worksheet.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/save/engine_error.h"
#include "tests/engine/package_builder.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

std::unique_ptr<Worksheet> sheetOf(const std::string& rows, const std::string& before = "",
                                   const std::string& after = "") {
  auto sheet = std::make_unique<Worksheet>("xl/worksheets/sheet1.xml");
  sheet->load(minimalWorkbook(rows, before, after).at("xl/worksheets/sheet1.xml"));
  return sheet;
}

std::string saved(Worksheet& sheet) {
  return drained(sheet.saver());
}

TEST(Worksheet, UsedRangeCoversValuesAndOwnStylesOnly) {
  struct Case {
    const char* rows;
    CellRect used;
  } cases[] = {
      {"", {1, 1, 1, 1}},
      {R"(<row r="4"><c r="C4"><v>1</v></c></row>)", {4, 3, 4, 3}},
      {R"(<row r="2"><c r="B2" s="1"/><c r="D2"/></row><row r="9"><c r="C9" t="s"><v>0</v></c></row>)",
       {2, 2, 9, 3}},
      {R"(<row r="3" ht="40" customHeight="1"/><row r="5"><c r="E5" s="0"/><c r="F5"><f>1+1</f></c></row>)",
       {5, 6, 5, 6}},
  };
  for (const Case& c : cases) {
    const CellRect used = sheetOf(c.rows)->usedRange();
    EXPECT_EQ(rectName(used), rectName(c.used)) << c.rows;
  }
}

TEST(Worksheet, IgnoresTheStoredDimensionAndRewritesIt) {
  auto sheet = sheetOf(R"(<row r="3"><c r="B3"><v>1</v></c></row>)");
  EXPECT_EQ(rectName(sheet->usedRange()), "B3");
  sheet->noteUsed(7, 4);
  sheet->markChanged();
  EXPECT_EQ(xmlFragment(saved(*sheet), "/worksheet/dimension"), R"(<dimension ref="B3:D7"/>)");
}

TEST(Worksheet, NumbersRowsAndCellsThatCarryNoReference) {
  auto sheet =
      sheetOf(R"(<row><c><v>1</v></c><c><v>2</v></c></row><row><c r="C2"><v>3</v></c></row>)");
  EXPECT_NE(sheet->cells().find(1, 2), nullptr);
  EXPECT_NE(sheet->cells().find(2, 3), nullptr);
  EXPECT_EQ(rectName(sheet->usedRange()), "A1:C2");
}

TEST(Worksheet, RefusesRowsAndCellsOutsideTheSheetOrOutOfOrder) {
  const char* bad[] = {
      R"(<row r="0"/>)",
      R"(<row r="1048577"/>)",
      R"(<row r="5"/><row r="4"/>)",
      R"(<row r="1"><c r="XFE1"/></row>)",
      R"(<row r="1"><c r="A2"/></row>)",
      R"(<row r="1"><c r="B1"/><c r="A1"/></row>)",
      R"(<row r="1"><c r="1A"/></row>)",
      R"(<row r="1"><c r="A1" s="65536"/></row>)",  // a format a cell cannot refer to
  };
  for (const char* rows : bad) {
    try {
      sheetOf(rows);
      ADD_FAILURE() << "accepted " << rows;
    } catch (const EngineError& e) {
      EXPECT_NE(std::string(e.what()).find("xl/worksheets/sheet1.xml"), std::string::npos);
    }
  }
}

TEST(Worksheet, WritesBackWhatItDoesNotModelAndOnlyTheCellsItChanged) {
  auto sheet = sheetOf(
      R"(<row r="1" spans="1:2" x14ac:dyDescent="0.25"><c r="A1" s="1" t="s"><v>0</v></c><c r="B1"><f>A1</f><v>2</v><extLst/></c></row>)"
      R"(<row r="3" ht="20" customHeight="1"><c r="A3"><v>5</v></c></row>)",
      R"(<sheetViews><sheetView workbookViewId="0"/></sheetViews>)",
      R"(<mergeCells count="1"><mergeCell ref="A5:B5"/></mergeCells><legacyDrawing r:id="rId7"/>)");
  Cell& changed = sheet->cells().touch(1, 3);
  sheet->cells().setNumber(changed, 0.5);
  sheet->markChanged();
  sheet->addDrawing("rId8", "http://schemas.openxmlformats.org/officeDocument/2006/relationships");
  const std::string xml = saved(*sheet);
  const auto part = [&xml](const char* xpath) { return xmlFragment(xml, xpath); };
  EXPECT_EQ(part("/worksheet/@mc:Ignorable"), R"(mc:Ignorable="x14ac")");
  EXPECT_EQ(part("/worksheet/sheetViews"),
            R"(<sheetViews><sheetView workbookViewId="0"/></sheetViews>)");
  // The changed row keeps its attributes but its spans; its untouched cells are copied, and
  // the row not changed is copied whole.
  EXPECT_EQ(part("/worksheet/sheetData"),
            R"(<sheetData><row r="1" x14ac:dyDescent="0.25"><c r="A1" s="1" t="s"><v>0</v></c>)"
            R"(<c r="B1"><f>A1</f><v>2</v><extLst/></c><c r="C1"><v>0.5</v></c></row>)"
            R"(<row r="3" ht="20" customHeight="1"><c r="A3"><v>5</v></c></row></sheetData>)");
  // <drawing> goes before <legacyDrawing>, as the schema orders them.
  EXPECT_EQ(part("/worksheet/sheetData/following-sibling::*"),
            R"(<mergeCells count="1"><mergeCell ref="A5:B5"/></mergeCells>)"
            R"(<drawing r:id="rId8"/><legacyDrawing r:id="rId7"/>)");
}

TEST(Worksheet, RefusesPartsThatAreNoWorksheets) {
  Worksheet sheet("xl/chartsheets/sheet1.xml");
  EXPECT_THROW(sheet.load("<chartsheet/>"), EngineError);
  EXPECT_THROW(sheet.load("<worksheet/>"), EngineError);  // no sheetData
  EXPECT_THROW(sheet.load("junk<worksheet><sheetData/></worksheet>"), EngineError);
  EXPECT_THROW(
      sheet.load(R"(<!DOCTYPE x [<!ENTITY a "aaaa">]><worksheet><sheetData/></worksheet>)"),
      EngineError);
}

// Rows filled in any order (appended, inserted before their first cell and in their middle,
// widened far beyond the row before them, revisited after others grew) hold the same cells as
// a plain map, in ascending columns; runs that growing rows give up are reused intact.
TEST(CellStore, RowsHoldTheirCellsWhateverTheOrderTheyCameIn) {
  CellStore store;
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> expected;
  std::uint32_t next = 1;
  auto put = [&](std::uint32_t row, std::uint32_t column) {
    Cell& cell = store.touch(row, column);
    ASSERT_EQ(cell.column, column);
    cell.style = next;
    expected[{row, column}] = next++;
  };
  for (std::uint32_t row = 1; row <= 300; ++row) {
    const std::uint32_t width = row % 7 == 0 ? 200 : 10;
    for (std::uint32_t column = 1; column <= width; ++column) put(row, column * 2);
    put(row, 1);                            // before the first cell
    put(row, width + 1);                    // in the middle
    if (row % 5 == 0) put(row - 3, 16384);  // an earlier row grows after others
  }
  for (std::uint32_t row = 1; row <= 300; row += 11) put(row, 4);  // already there: the same cell
  for (const auto& [at, style] : expected) {
    const Cell* cell = store.find(at.first, at.second);
    ASSERT_NE(cell, nullptr) << at.first << ", " << at.second;
    EXPECT_EQ(cell->style, style) << at.first << ", " << at.second;
  }
  for (std::uint32_t row = 1; row <= 300; ++row) {
    const Row* r = store.row(row);
    ASSERT_NE(r, nullptr);
    std::vector<std::uint32_t> columns;
    for (const Cell& cell : r->cells()) columns.push_back(cell.column);
    std::vector<std::uint32_t> wanted;
    for (auto it = expected.lower_bound({row, 0}); it != expected.end() && it->first.first == row;
         ++it) {
      wanted.push_back(it->first.second);
    }
    EXPECT_EQ(columns, wanted) << row;
  }
  EXPECT_EQ(store.find(1, 3), nullptr);
  EXPECT_EQ(store.find(301, 1), nullptr);
}

// Heights and formats are kept beside the rows that have them: set in increasing rows (as a
// sheet is read), before and between others, or again, each row gives back its own.
TEST(CellStore, RowHeightsAndFormatsComeBackByRow) {
  CellStore store;
  std::map<std::uint32_t, std::pair<double, std::uint32_t>> expected;
  auto give = [&](std::uint32_t number, double height, std::uint32_t style) {
    Row& row = store.touchRow(number);
    store.setHeight(row, height);
    row.styled = true;
    store.setStyle(row, style);
    expected[number] = {height, style};
  };
  for (std::uint32_t number = 10; number <= 1000; number += 10) give(number, number / 4.0, number);
  give(5, 7.5, 3);         // before the first
  give(15, 12.25, 70000);  // between two, a format beyond what a cell holds
  give(500, 99, 1);        // again
  for (std::uint32_t number = 1; number <= 1001; ++number) {
    const Row& row = store.touchRow(number);
    const auto it = expected.find(number);
    EXPECT_EQ(store.height(row), it == expected.end() ? -1.0 : it->second.first) << number;
    EXPECT_EQ(store.style(row), it == expected.end() ? 0u : it->second.second) << number;
  }
}

// The store's own texts (sheets of workbooks without shared strings): texts that fill a block
// exactly, that do not fit what is left of one, and that are larger than a block all come back
// as they were, after many more were added.
TEST(TextArena, EveryTextComesBackAsItWas) {
  const std::size_t block = std::size_t{1} << 20;
  std::vector<std::string> texts = {
      "a", std::string(block - 1, 'b'), "c", "d", std::string(block + 5, 'e'),
      "f", std::string(block, 'g')};
  for (int i = 0; i < 200000; ++i) texts.push_back("\xE6\xB5\x8B" + std::to_string(i));
  texts.push_back(std::string(3 * block, 'h'));
  texts.push_back("end");
  // Lengths of one to four bytes before the texts.
  for (const std::size_t length : {127ul, 128ul, 16383ul, 16384ul, (1ul << 24) - 1}) {
    texts.push_back(std::string(length, 'i'));
  }
  TextArena arena;
  std::vector<std::uint32_t> references;
  for (const std::string& text : texts) references.push_back(arena.add(text));
  ASSERT_EQ(arena.size(), texts.size());
  ASSERT_EQ(std::set<std::uint32_t>(references.begin(), references.end()).size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) ASSERT_EQ(arena[references[i]], texts[i]) << i;
  EXPECT_THROW(arena.add(std::string(std::size_t{1} << 24, 'x')), EngineError);
}

// A text repeated soon after shares the bytes of the first; one seen long ago, or one that
// only shares a hash slot with another, is stored again and still comes back as it was.
TEST(TextArena, ARecentTextIsStoredOnce) {
  TextArena arena;
  const std::uint32_t first = arena.add("\xE5\x90\x88\xE6\xA0\xBC");
  const std::size_t bytes = arena.bytes();
  EXPECT_EQ(arena.add("\xE5\x90\x88\xE6\xA0\xBC"), first);
  EXPECT_EQ(arena.bytes(), bytes);
  std::vector<std::uint32_t> many;
  for (int i = 0; i < 100000; ++i) many.push_back(arena.add(std::to_string(i)));
  for (int i = 0; i < 100000; ++i) ASSERT_EQ(arena[many[i]], std::to_string(i));
  const std::uint32_t again = arena.add("\xE5\x90\x88\xE6\xA0\xBC");
  EXPECT_EQ(arena[again], "\xE5\x90\x88\xE6\xA0\xBC");
  EXPECT_EQ(arena[first], arena[again]);
  EXPECT_EQ(arena.add(""), arena.add(""));
  EXPECT_EQ(arena[arena.add("")], "");
}

}  // namespace
}  // namespace qx::testing
