// Rows a run does not touch: read into cells only when a call reaches them, counted in the used
// range without that, and written back as the bytes they were read as; formulas in them still
// follow a renamed table column.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "automation/operations.h"
#include "engine/package/cell_values.h"
#include "engine/package/shared_strings.h"
#include "engine/package/workbook.h"
#include "engine/package/worksheet.h"
#include "engine/package/zip_package.h"
#include "engine/save/engine_error.h"
#include "report/workbook_session.h"
#include "tests/engine/package_builder.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

using automation::Variant;

constexpr const char* kSheet = "xl/worksheets/sheet1.xml";

// Rows 2, 3 and 5 written as the engine does not print rows: single quotes, a character
// reference, spaces inside tags, an empty element closed by an end tag; and how it prints them.
struct TemplateRow {
  std::uint32_t number;
  std::string xml, printed;
};
const std::vector<TemplateRow> kRows = {
    {2, R"(<row r='2' spans="1:3"><c r="A2" t="inlineStr"><is><t>a&#x41;</t></is></c></row>)",
     R"(<row r="2" spans="1:3"><c r="A2" t="inlineStr"><is><t>aA</t></is></c></row>)"},
    {3, R"(<row r="3" ht="20" customHeight="1" ><c r="B3" ><v>2</v></c></row>)",
     R"(<row r="3" ht="20" customHeight="1"><c r="B3"><v>2</v></c></row>)"},
    {5, R"(<row r="5"><c r="A5"><v>4</v></c><c r="C5" s="1"></c></row>)",
     R"(<row r="5"><c r="A5"><v>4</v></c><c r="C5" s="1"/></row>)"},
    {8, R"(<row r="8"><c r="A8"><f>A5*2</f><v>8</v></c><c r="B8"/></row>)",
     R"(<row r="8"><c r="A8"><f>A5*2</f><v>8</v></c><c r="B8"/></row>)"},
};

std::string templateRows() {
  std::string rows;
  for (const TemplateRow& row : kRows) rows += row.xml;
  return rows;
}

// How a sheet is read: its text held, or its part inflated from the package a piece at a time.
enum class Reading { Held, Streamed };

// The sheet of a minimal workbook with `rows`, read as `reading` says; a streamed sheet's
// package is written into `dir`.
std::unique_ptr<Worksheet> loadedSheet(const std::string& rows, Reading reading,
                                       const TempDir& dir) {
  auto sheet = std::make_unique<Worksheet>(kSheet);
  const Parts parts = minimalWorkbook(rows);
  if (reading == Reading::Held) {
    sheet->load(parts.at(kSheet));
  } else {
    const auto file = dir.path() / "kept.xlsx";
    writePackage(file, parts);
    sheet->load(std::make_shared<const ZipPackage>(file.string()));
    EXPECT_FALSE(sheet->holdsText());
  }
  return sheet;
}

std::string saved(Worksheet& sheet) {
  return drained(sheet.saver());
}

std::string sheetDataOf(const std::string& xml) {
  const std::size_t begin = xml.find("<sheetData>") + 11;
  return xml.substr(begin, xml.find("</sheetData>") - begin);
}

struct UntouchedCase {
  const char* name;
  std::function<void(Worksheet&)> calls;
  std::set<std::uint32_t> read;                                // rows the calls read into cells
  std::vector<std::pair<std::uint32_t, std::string>> written;  // rows written anew, by number
  const char* used;
};

void writeHalf(Worksheet& sheet, std::uint32_t row, std::uint32_t column) {
  Cell& cell = sheet.touchCell(row, column);
  sheet.cells().setNumber(cell, 0.5);
  cell.used = true;
  sheet.noteUsed(row, column);
  sheet.markChanged();
}

const UntouchedCase kCases[] = {
    {"NoCall", [](Worksheet&) {}, {}, {}, "A2:C8"},
    {"AReadReadsItsRowOnly",
     [](Worksheet& sheet) {
       const Cell* cell = sheet.cells().find(5, 3);
       ASSERT_NE(cell, nullptr);
       EXPECT_EQ(cell->style, 1);
       EXPECT_EQ(sheet.cells().find(5, 2), nullptr);
     },
     {5},
     {{5, R"(<row r="5"><c r="A5"><v>4</v></c><c r="C5" s="1"/></row>)"}},
     "A2:C8"},
    {"AWriteIntoAKeptRow",
     [](Worksheet& sheet) { writeHalf(sheet, 3, 4); },
     {3},
     {{3, R"(<row r="3" ht="20" customHeight="1"><c r="B3"><v>2</v></c>)"
          R"(<c r="D3"><v>0.5</v></c></row>)"}},
     "A2:D8"},
    {"AWriteBeforeTheFirstRow",
     [](Worksheet& sheet) { writeHalf(sheet, 1, 1); },
     {},
     {{1, R"(<row r="1"><c r="A1"><v>0.5</v></c></row>)"}},
     "A1:C8"},
    {"AWriteBetweenKeptRows",
     [](Worksheet& sheet) { writeHalf(sheet, 6, 2); },
     {},
     {{6, R"(<row r="6"><c r="B6"><v>0.5</v></c></row>)"}},
     "A2:C8"},
    {"WritesAfterTheLastRow",
     [](Worksheet& sheet) {
       writeHalf(sheet, 20, 5);
       writeHalf(sheet, 21, 1);
     },
     {},
     {{20, R"(<row r="20"><c r="E20"><v>0.5</v></c></row>)"},
      {21, R"(<row r="21"><c r="A21"><v>0.5</v></c></row>)"}},
     "A2:E21"},
    {"AFormulaCellOverwritten",
     [](Worksheet& sheet) { writeHalf(sheet, 8, 1); },
     {8},
     {{8, R"(<row r="8"><c r="A8"><v>0.5</v></c><c r="B8"/></row>)"}},
     "A2:C8"},
};

// Every row the calls did not reach stays kept and goes out as its bytes when the engine
// prints it so, else as it prints it; the others as the case says, all in row order.
void checkUntouched(const UntouchedCase& c, Reading reading) {
  TempDir dir;
  auto sheet = loadedSheet(templateRows(), reading, dir);
  c.calls(*sheet);
  EXPECT_EQ(rectName(sheet->usedRange()), c.used);
  std::map<std::uint32_t, std::string> expected(c.written.begin(), c.written.end());
  for (const TemplateRow& templateRow : kRows) {
    const Row* row = sheet->cells().row(templateRow.number);
    ASSERT_NE(row, nullptr);
    const bool kept = c.read.count(templateRow.number) == 0;
    EXPECT_EQ(row->kept != 0, kept) << "row " << templateRow.number;
    if (kept) {
      EXPECT_EQ(row->regular != 0, templateRow.xml == templateRow.printed);
    }
    expected.emplace(templateRow.number, templateRow.printed);
  }
  std::string rows;
  for (const auto& [number, xml] : expected) rows += xml;
  sheet->markChanged();
  EXPECT_EQ(sheetDataOf(saved(*sheet)), rows);
}

class UntouchedRows : public ::testing::TestWithParam<UntouchedCase> {};

TEST_P(UntouchedRows, GoOutAsTheyWereReadAroundTheRowsCallsReach) {
  for (const Reading reading : {Reading::Held, Reading::Streamed}) {
    SCOPED_TRACE(reading == Reading::Held ? "held" : "streamed");
    checkUntouched(GetParam(), reading);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, UntouchedRows, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

void PrintTo(const UntouchedCase& c, std::ostream* out) {
  *out << c.name;
}

// A sheet whose rows no call reached, written as the engine writes rows, is the part it was
// read from, byte for byte, but for what lay between its rows.
TEST(UntouchedSheet, ComesBackByteForByte) {
  std::string rows;
  for (const TemplateRow& row : kRows) rows += row.printed;
  rows +=
      "\n  <!-- between --><row r=\"9\"><c r=\"A9\"><v>1</v></c></row>"
      R"(<row r="10"><c r="A10" t="str"><f><![CDATA[">"]]></f><v>&gt;</v></c></row>)";
  std::string part = minimalWorkbook(rows).at(kSheet);
  const std::size_t dimension = part.find(R"(<dimension ref="A1"/>)");
  ASSERT_NE(dimension, std::string::npos);
  part.replace(dimension, 21, R"(<dimension ref="A2:C10"/>)");
  Worksheet sheet(kSheet);
  sheet.load(part);
  EXPECT_EQ(rectName(sheet.usedRange()), "A2:C10");
  EXPECT_TRUE(sheet.cells().row(10)->regular);
  sheet.markChanged();
  std::string expected = part;
  const std::string between = "\n  <!-- between -->";
  expected.erase(expected.find(between), between.size());
  EXPECT_EQ(saved(sheet), expected);
}

// Rows checked in batches: a fault in a row far from the first is found and named.
TEST(UntouchedSheet, RowsFarDownAreCheckedToo) {
  std::string rows;
  for (int r = 1; r <= 40000; ++r) {
    rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) +
            "\"><v>1</v></c></row>";
  }
  const struct {
    const char* name;
    std::string tail;
  } cases[] = {
      {"unclosed cell", R"(<row r="40001"><c r="A40001"><v>1</v></row>)"},
      {"cell of another row", R"(<row r="40001"><c r="A2"/></row>)"},
      {"row out of order", R"(<row r="7"/>)"},
  };
  for (const auto& c : cases) {
    Worksheet sheet(kSheet);
    std::string held;
    try {
      sheet.load(minimalWorkbook(rows + c.tail).at(kSheet));
      ADD_FAILURE() << c.name;
    } catch (const EngineError& e) {
      held = e.what();
    }
    // Streamed, the part is refused as it is when read whole.
    TempDir dir;
    const auto file = dir.path() / "t.xlsx";
    writePackage(file, minimalWorkbook(rows + c.tail));
    Worksheet streamed(kSheet);
    try {
      streamed.load(std::make_shared<const ZipPackage>(file.string()));
      ADD_FAILURE() << c.name;
    } catch (const EngineError& e) {
      EXPECT_EQ(e.what(), held) << c.name;
    }
  }
  Worksheet sound(kSheet);
  sound.load(minimalWorkbook(rows).at(kSheet));
  EXPECT_EQ(rectName(sound.usedRange()), "A1:A40000");
  EXPECT_EQ(sound.cells().find(39999, 1)->kind, CellKind::Original);
}

// Rows 1..count, each with its number in column A: a part of many inflated pieces.
std::string numberedRows(std::uint32_t count) {
  std::string rows;
  for (std::uint32_t r = 1; r <= count; ++r) {
    const std::string n = std::to_string(r);
    rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c></row>";
  }
  return rows;
}

// A streamed sheet reads the rows calls reach from the package: forward in one pass, while a
// row behind the last one read inflates the part again from its start. Either way it reads the
// cells the held sheet reads and saves the part the held sheet saves.
TEST(StreamedSheet, ReadsRowsAheadOfAndBehindItsCursor) {
  const std::string rows = numberedRows(40000);
  TempDir dir;
  auto held = loadedSheet(rows, Reading::Held, dir);
  auto streamed = loadedSheet(rows, Reading::Streamed, dir);
  const struct {
    std::uint32_t row;
    std::size_t rereads;  // of the streamed part, after reading the row
  } reads[] = {{30000, 0}, {35000, 0}, {35001, 0}, {10, 1}, {20, 1}, {39999, 1}, {5, 2}};
  for (const auto& read : reads) {
    for (Worksheet* sheet : {held.get(), streamed.get()}) {
      const Cell* cell = sheet->cells().find(read.row, 1);
      ASSERT_NE(cell, nullptr) << read.row;
      ASSERT_EQ(cell->kind, CellKind::Original);
      EXPECT_EQ(pugi::xml_node(sheet->cells().originalOf(*cell)).child("v").text().as_uint(),
                read.row);
    }
    EXPECT_EQ(streamed->rereads(), read.rereads) << "after row " << read.row;
  }
  for (Worksheet* sheet : {held.get(), streamed.get()}) {
    writeHalf(*sheet, 20000, 2);
    writeHalf(*sheet, 40002, 1);
  }
  EXPECT_EQ(rectName(streamed->usedRange()), "A1:B40002");
  const std::string out = saved(*streamed);
  EXPECT_EQ(out, saved(*held));
  EXPECT_NE(out.find(numberedRows(19999)), std::string::npos);
}

// Rows streamed take the sheet's defaults, which come before them, as rows read whole do.
TEST(StreamedSheet, RowsTakeTheSheetsDefaultsAsWhenHeld) {
  const std::string rows =
      R"(<row r="1"><c r="A1"><v>1</v></c></row><row r="2" ht="30" customHeight="1"/>)"
      R"(<row r="3" hidden="0"/><row r="4" s="2" customFormat="1"/>)";
  const Parts parts =
      minimalWorkbook(rows, R"(<sheetFormatPr defaultRowHeight="15" zeroHeight="1"/>)");
  TempDir dir;
  Worksheet held(kSheet);
  held.load(parts.at(kSheet));
  const auto file = dir.path() / "defaults.xlsx";
  writePackage(file, parts);
  Worksheet streamed(kSheet);
  streamed.load(std::make_shared<const ZipPackage>(file.string()));
  ASSERT_FALSE(streamed.holdsText());
  EXPECT_TRUE(streamed.format().rowsHiddenByDefault);
  for (std::uint32_t number = 1; number <= 4; ++number) {
    const Row* a = held.cells().row(number);
    const Row* b = streamed.cells().row(number);
    ASSERT_TRUE(a != nullptr && b != nullptr) << number;
    EXPECT_EQ(a->hidden, b->hidden) << number;
    EXPECT_EQ(held.cells().height(*a), streamed.cells().height(*b)) << number;
    EXPECT_EQ(held.inheritedStyle(number, 3), streamed.inheritedStyle(number, 3)) << number;
  }
  EXPECT_TRUE(streamed.cells().row(1)->hidden);
  EXPECT_FALSE(streamed.cells().row(2)->hidden);
  EXPECT_EQ(streamed.inheritedStyle(4, 3), 2u);
}

// Runs openpyxl on `script` with the given files; its exit status.
int runOpenpyxl(const TempDir& dir, const std::string& script,
                const std::vector<std::filesystem::path>& files) {
  std::string command = "/usr/bin/python3 '" + dir.write("check.py", script).string() + "'";
  for (const auto& file : files) command += " '" + file.string() + "'";
  return std::system(command.c_str());
}

// A workbook saved twice in one session takes its sheet's untouched rows from the package it
// was opened from both times: they come out byte for byte, and openpyxl reads in the output
// the template's cells and the new ones.
TEST(StreamedSheet, SavedTwiceKeepsTheTemplateRows) {
  const std::string rows = numberedRows(20000);
  TempDir dir;
  const auto file = dir.path() / "book.xlsx";
  const auto original = dir.path() / "template.xlsx";
  writePackage(original, minimalWorkbook(rows));
  std::filesystem::copy_file(original, file);
  {
    Workbook workbook(file.string());
    putCellValue(workbook, workbook.worksheet(0), 20001, 2, CellInput::ofText("first"));
    workbook.save();
    // A row behind the save's last one, read after it.
    EXPECT_EQ(cellText(workbook, workbook.worksheet(0), 10, 1), "10");
    putCellValue(workbook, workbook.worksheet(0), 20002, 3, CellInput::ofNumber(2.5));
    workbook.save();
  }
  const std::string sheet = readPackage(file).at(kSheet);
  EXPECT_NE(sheet.find(rows), std::string::npos);
  EXPECT_EQ(runOpenpyxl(dir, R"(
import openpyxl, sys
template = openpyxl.load_workbook(sys.argv[1]).active
out = openpyxl.load_workbook(sys.argv[2]).active
old = [[c.value for c in row] for row in template.iter_rows(max_col=3)]
new = [[c.value for c in row] for row in out.iter_rows(max_row=20000, max_col=3)]
assert old == new, "the template's rows differ"
assert len(old) == 20000 and old[9][0] == 10, old[9]
assert out.max_row == 20002, out.max_row
assert out["B20001"].value == "first" and out["C20002"].value == 2.5
)",
                        {original, file}),
            0);
}

#ifndef _WIN32
// Where the compressed data of a package's entry starts, and its length, from its local header.
std::pair<std::size_t, std::size_t> entryData(const std::string& zip, const std::string& name) {
  auto little = [&](std::size_t at, int bytes) {
    std::size_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
      value = value << 8 | static_cast<unsigned char>(zip[at + i]);
    return value;
  };
  for (std::size_t at = zip.find("PK\3\4"); at != std::string::npos;
       at = zip.find("PK\3\4", at + 4)) {
    const std::size_t nameLength = little(at + 26, 2);
    if (zip.compare(at + 30, nameLength, name) != 0) continue;
    return {at + 30 + nameLength + little(at + 28, 2), little(at + 18, 4)};
  }
  return {0, 0};
}

// The package stays open while its workbook lives (on Windows it is held in memory). A sheet
// part damaged after it was read, deep inside where only the save reads it again, fails the
// save, which leaves the file as it was and nothing beside it.
TEST(StreamedSheet, APartDamagedDeepInsideFailsTheSave) {
  TempDir dir;
  const auto file = dir.path() / "book.xlsx";
  writePackage(file, minimalWorkbook(numberedRows(40000)));
  Workbook workbook(file.string());
  putCellValue(workbook, workbook.worksheet(0), 40001, 1, CellInput::ofText("new"));
  std::string bytes;
  {
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const auto [data, length] = entryData(bytes, kSheet);
  ASSERT_GT(length, 4096u);
  {
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>(data + length * 3 / 4));
    const std::string damage(64, '\xFF');
    out.write(damage.data(), static_cast<std::streamsize>(damage.size()));
    bytes.replace(data + length * 3 / 4, damage.size(), damage);
  }
  try {
    workbook.save();
    ADD_FAILURE() << "saved a damaged sheet";
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("unchanged"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find(kSheet), std::string::npos) << e.what();
  }
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++files;
  EXPECT_EQ(files, 1u);
}
#endif

// A table header written through the automation layer renames the column in formulas of rows
// no call read; rows whose formulas do not name the table, and rows without formulas, stay
// as they were read.
TEST(UntouchedSheet, FormulasInKeptRowsFollowARenamedColumn) {
  Parts parts = minimalWorkbook(
      R"(<row r="1"><c r="A1" t="inlineStr"><is><t>Key</t></is></c>)"
      R"(<c r="B1" t="inlineStr"><is><t>Value</t></is></c></row>)"
      R"(<row r="2"><c r="A2"><v>1</v></c><c r="B2"><v>2</v></c></row>)"
      R"(<row r="5"><c r="D5"><f>SUM(Table1[Value])</f><v>2</v></c></row>)"
      R"(<row r="6"><c r="D6"><f>SUM(B2:B2)</f><v>2</v></c></row>)"
      R"(<row r="7"><c r="D7"><v>3</v></c></row>)"
      R"(<row r="9"><c r="D9"><f>table1[[#This Row],[value]]+1</f><v>3</v></c></row>)");
  addTable(parts, R"(id="1" name="Table1" displayName="Table1" ref="A1:B2">)"
                  R"(<tableColumns count="2"><tableColumn id="1" name="Key"/>)"
                  R"(<tableColumn id="2" name="Value"/></tableColumns>)");
  TempDir dir;
  const std::filesystem::path file = dir.path() / "t.xlsx";
  writePackage(file, parts);
  {
    report::WorkbookSession session;
    ASSERT_TRUE(session.application.createByProgId("Excel.Application"));
    report::openTemplate(session, file.string());
    const automation::AutomationObject a1 =
        automation::worksheetRange(session.sheet, Variant::text(u"A1"), Variant::missing());
    automation::setRangeItem(a1, Variant::integer(1), Variant::integer(2), Variant::text(u"Sum"));
    automation::workbookSave(session.workbook);
  }
  const std::string sheet = readPackage(file).at(kSheet);
  for (const char* kept : {R"(<row r="6"><c r="D6"><f>SUM(B2:B2)</f><v>2</v></c></row>)",
                           R"(<row r="7"><c r="D7"><v>3</v></c></row>)",
                           R"(<row r="2"><c r="A2"><v>1</v></c><c r="B2"><v>2</v></c></row>)"}) {
    EXPECT_NE(sheet.find(kept), std::string::npos) << kept << "\n" << sheet;
  }
  EXPECT_NE(sheet.find("<f>SUM(Table1[Sum])</f>"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("<f>table1[[#This Row],[Sum]]+1</f>"), std::string::npos) << sheet;
  EXPECT_EQ(sheet.find("[Value]"), std::string::npos) << sheet;
  EXPECT_EQ(sheet.find("[value]"), std::string::npos) << sheet;
}

// Shared strings are held as plain texts; an item whose text does not print as it does keeps
// its printed bytes, so a part with a new item holds every item of the package.
TEST(UntouchedSharedStrings, ItemsGoOutAsTheyWereReadBesideNewOnes) {
  // Each item, and how it goes out: as it prints parsed.
  const std::pair<std::string, std::string> items[] = {
      {"<si><t>plain</t></si>", "<si><t>plain</t></si>"},
      {"<si><t xml:space=\"preserve\"> spaced</t></si>",
       "<si><t xml:space=\"preserve\"> spaced</t></si>"},
      {"<si><t xml:space='preserve'>quoted</t></si>",
       "<si><t xml:space=\"preserve\">quoted</t></si>"},
      {"<si><t>&#x41;&amp;b</t></si>", "<si><t>A&amp;b</t></si>"},
      {"<si><r><rPr><b/></rPr><t>rich</t></r><r><t> part</t></r></si>",
       "<si><r><rPr><b/></rPr><t>rich</t></r><r><t> part</t></r></si>"},
      {"<si><t>kana</t><rPh sb=\"0\" eb=\"1\"><t>KA</t></rPh></si>",
       "<si><t>kana</t><rPh sb=\"0\" eb=\"1\"><t>KA</t></rPh></si>"},
      {"\n<!-- a comment --><si><t>after a comment</t></si>",
       "<!-- a comment --><si><t>after a comment</t></si>"},
  };
  std::string part = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                     R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)";
  for (const auto& item : items) part += item.first;
  part += "<extLst/></sst>";
  SharedStrings strings;
  strings.load(part, "xl/sharedStrings.xml");
  EXPECT_EQ(strings.text(3), "A&b");
  EXPECT_EQ(strings.text(4), "rich part");
  EXPECT_EQ(strings.add("rich part"), 7u);  // a rich item is no plain text's item
  const std::string out = drained(strings.saver());
  std::string expected;
  for (const auto& item : items) expected += item.second;
  expected += "<si><t>rich part</t></si><extLst/></sst>";
  EXPECT_NE(out.find(expected), std::string::npos) << out;
  EXPECT_NE(out.find(R"(count="8" uniqueCount="8")"), std::string::npos) << out;
}

}  // namespace
}  // namespace qx::testing
