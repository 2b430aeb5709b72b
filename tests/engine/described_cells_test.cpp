// Writes into cells that another part describes too: a table's header row (its columns'
// names) and totals row (their labels and functions), and a pivot table. Each case fills a
// minimal template and looks at the saved sheet and table part; the saved packages then pass
// the strict check with no finding their templates did not have.

#include <gtest/gtest.h>

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "platform/code_page.h"
#include "report/workbook_session.h"
#include "tests/engine/package_builder.h"
#include "tests/support/strict_check_run.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

using automation::AutomationObject;
using automation::Variant;

constexpr const char* kSheet = "xl/worksheets/sheet1.xml";
constexpr const char* kTable = "xl/tables/table1.xml";

// A table over A1:C4: header row 1 (Key, Value, Note), data rows 2 and 3, a totals row 4 with
// the label "Total" under Key and the sum of Value.
const std::string kTableXml =
    R"(id="1" name="Table1" displayName="Table1" ref="A1:C4" totalsRowCount="1">)"
    R"(<autoFilter ref="A1:C3"/><tableColumns count="3">)"
    R"(<tableColumn id="1" name="Key" totalsRowLabel="Total"/>)"
    R"(<tableColumn id="2" name="Value" totalsRowFunction="sum"/>)"
    R"(<tableColumn id="3" name="Note"/></tableColumns>)"
    R"(<tableStyleInfo name="TableStyleMedium2" showRowStripes="1"/>)";

std::string kRows =
    R"(<row r="1"><c r="A1" t="inlineStr"><is><t>Key</t></is></c>)"
    R"(<c r="B1" t="inlineStr"><is><t>Value</t></is></c><c r="C1" t="inlineStr"><is><t>Note</t></is></c></row>)"
    R"(<row r="2"><c r="A2" t="inlineStr"><is><t>a</t></is></c><c r="B2"><v>1</v></c></row>)"
    R"(<row r="3"><c r="A3" t="inlineStr"><is><t>b</t></is></c><c r="B3"><v>2</v></c></row>)"
    R"(<row r="4"><c r="A4" t="inlineStr"><is><t>Total</t></is></c>)"
    R"(<c r="B4"><f>SUBTOTAL(109,Table1[Value])</f><v>3</v></c></row>)"
    R"(<row r="6"><c r="E6"><f>SUM(Table1[Value])*2</f><v>6</v></c></row>)";

Parts tableTemplate() {
  Parts parts = minimalWorkbook(kRows);
  addTable(parts, kTableXml);
  const std::size_t at = parts[kSheet].find(R"(<dimension ref="A1"/>)");
  parts[kSheet].replace(at, 21, R"(<dimension ref="A1:E6"/>)");
  return parts;
}

void replace(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

class DescribedCells : public ::testing::Test {
 protected:
  void open(const Parts& parts, const std::string& name = "t.xlsx") {
    file = dir.path() / name;
    writePackage(file, parts);
    templateCopy = dir.path() / ("template-" + name);
    writePackage(templateCopy, parts);
    ASSERT_TRUE(session.application.createByProgId("Excel.Application"));
    report::openTemplate(session, file.string());
    a1 = automation::worksheetRange(session.sheet, Variant::text(u"A1"), Variant::missing());
  }
  void put(int row, int column, const Variant& value) {
    automation::setRangeItem(a1, Variant::integer(row), Variant::integer(column), value);
  }
  Parts saved() {
    automation::workbookSave(session.workbook);
    return readPackage(file);
  }

  TempDir dir;
  std::filesystem::path file, templateCopy;
  report::WorkbookSession session;
  AutomationObject a1;
};

struct HeaderCase {
  const char* name;
  int column;
  Variant value;
  std::string cell;         // in the saved sheet
  std::string tableColumn;  // in the saved table part
};

void PrintTo(const HeaderCase& c, std::ostream* out) {
  *out << c.name;
}

const HeaderCase kHeaderCases[] = {
    {"ATextNamesTheColumn", 2, Variant::text(u"Amount"), "Amount",
     R"(<tableColumn id="2" name="Amount" totalsRowFunction="sum"/>)"},
    {"ANumberBecomesItsText", 2, Variant::real(2024), "2024", R"(name="2024")"},
    {"ATextThatReadsAsANumberStaysAText", 2, Variant::text(u"12"), "12", R"(name="12")"},
    {"ATimeStaysATextWithoutATimeFormat", 2, Variant::text(u"1:30"), "1:30", R"(name="1:30")"},
    {"ABooleanShowsAsTheApplicationShowsIt", 2, Variant::boolean(true), "TRUE", R"(name="TRUE")"},
    {"ANameOfAnotherColumnGetsANumber", 2, Variant::text(u"KEY"), "KEY2", R"(name="KEY2")"},
    {"AnEmptyHeaderGetsAGeneratedName", 2, Variant::text(u""), "Column1", R"(name="Column1")"},
    {"NothingWrittenIsAnEmptyHeaderToo", 3, Variant(), "Column1", R"(name="Column1")"},
    {"ALineEndIsEscapedInTheName", 3, Variant::text(u"a\nb"), "a\nb", R"(name="a_x000a_b")"},
    {"TheSameNameInOtherLettersIsTaken", 1, Variant::text(u"key"), "key", R"(name="key")"},
};

class HeaderWrites : public DescribedCells, public ::testing::WithParamInterface<HeaderCase> {};

std::string unescaped(std::string text) {
  for (const auto& [entity, character] : {std::pair<std::string, std::string>{"&lt;", "<"},
                                          {"&gt;", ">"},
                                          {"&quot;", "\""},
                                          {"&amp;", "&"}}) {
    for (std::size_t at; (at = text.find(entity)) != std::string::npos;) {
      text.replace(at, entity.size(), character);
    }
  }
  return text;
}

// The cell's text as the saved sheet holds it: an inline text (the template has no shared
// strings texts for it) or a shared string appended after "old".
std::string cellText(const Parts& parts, const std::string& cell) {
  const std::string& sheet = parts.at(kSheet);
  const std::size_t at = sheet.find("<c r=\"" + cell + "\"");
  if (at == std::string::npos) return "(no cell)";
  const std::string element = sheet.substr(at, sheet.find("</c>", at) - at);
  if (element.find("t=\"s\"") == std::string::npos) return "(not a shared string) " + element;
  const std::size_t v = element.find("<v>");
  const int index = std::stoi(element.substr(v + 3));
  const std::string& strings = parts.at("xl/sharedStrings.xml");
  std::size_t item = 0;
  for (int i = 0; i <= index; ++i) item = strings.find("<si>", item) + 4;
  const std::size_t t = strings.find('>', strings.find("<t", item)) + 1;
  return unescaped(strings.substr(t, strings.find("</t>", t) - t));
}

TEST_P(HeaderWrites, TheColumnTakesTheCellsText) {
  open(tableTemplate());
  put(1, GetParam().column, GetParam().value);
  const Parts parts = saved();
  const std::string cell = std::string(1, static_cast<char>('A' + GetParam().column - 1)) + "1";
  EXPECT_EQ(cellText(parts, cell), GetParam().cell);
  EXPECT_NE(parts.at(kTable).find(GetParam().tableColumn), std::string::npos) << parts.at(kTable);
  // The cell keeps no number format a recognised value would have given it.
  EXPECT_EQ(parts.at("xl/styles.xml"), tableTemplate().at("xl/styles.xml"));
}

INSTANTIATE_TEST_SUITE_P(Cases, HeaderWrites, ::testing::ValuesIn(kHeaderCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DescribedCells, ARenamedColumnsFormulasFollowItInSheetsAndTables) {
  Parts parts = tableTemplate();
  replace(parts[kTable], R"(<tableColumn id="3" name="Note"/>)",
          R"(<tableColumn id="3" name="Note"><calculatedColumnFormula>)"
          R"(Table1[[#This Row],[Value]]*2</calculatedColumnFormula></tableColumn>)");
  parts["xl/worksheets/sheet2.xml"] =
      R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
      R"(<row r="1"><c r="A1"><f>MAX(table1[value],1)</f><v>2</v></c></row></sheetData></worksheet>)";
  open(parts);
  put(1, 2, Variant::text(u"Q-1"));
  const Parts out = saved();
  EXPECT_NE(out.at(kSheet).find("<f>SUBTOTAL(109,Table1[[Q-1]])</f>"), std::string::npos);
  EXPECT_NE(out.at(kSheet).find("<f>SUM(Table1[[Q-1]])*2</f>"), std::string::npos);
  EXPECT_NE(out.at("xl/worksheets/sheet2.xml").find("<f>MAX(table1[[Q-1]],1)</f>"),
            std::string::npos);
  EXPECT_NE(out.at(kTable).find("Table1[[#This Row],[Q-1]]*2"), std::string::npos);
}

TEST_F(DescribedCells, AColumnThatTheWorkbooksNamesReferToIsNotRenamed) {
  Parts parts = tableTemplate();
  replace(parts["xl/workbook.xml"], "</sheets>",
          "</sheets><definedNames><definedName name=\"Values\">Table1[Value]</definedName>"
          "</definedNames>");
  open(parts);
  try {
    put(1, 2, Variant::text(u"Amount"));
    ADD_FAILURE() << "the header was written";
  } catch (const automation::AutomationError& e) {
    EXPECT_NE(e.description().find("column 'Value' of table 'Table1', which xl/workbook.xml "
                                   "refers to by name"),
              std::string::npos)
        << e.description();
  }
  put(1, 1, Variant::text(u"Id"));  // a column nothing else names
  const Parts out = saved();
  EXPECT_NE(out.at(kTable).find(R"(name="Value")"), std::string::npos);
  EXPECT_NE(out.at(kTable).find(R"(name="Id")"), std::string::npos);
  EXPECT_EQ(cellText(out, "A1"), "Id");
}

TEST_F(DescribedCells, ATotalsCellsLabelAndFunctionSayWhatItNowHolds) {
  open(tableTemplate());
  put(4, 2, Variant::text(u"none"));  // over the sum: the column shows a label instead
  put(4, 1, Variant::real(7));        // over the label: a number, no label
  put(4, 3, Variant::text(u"n"));     // a column that had neither
  put(2, 2, Variant::text(u"5"));     // data: the part says nothing of it
  const Parts out = saved();
  const std::string& table = out.at(kTable);
  EXPECT_NE(table.find(R"(<tableColumn id="1" name="Key"/>)"), std::string::npos) << table;
  EXPECT_NE(table.find(R"(<tableColumn id="2" name="Value" totalsRowLabel="none"/>)"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find(R"(<tableColumn id="3" name="Note" totalsRowLabel="n"/>)"),
            std::string::npos)
      << table;
  EXPECT_NE(out.at(kSheet).find(R"(<c r="A4"><v>7</v></c>)"), std::string::npos);
  // The sum's formula is gone: so is the calculation chain, had there been one.
}

TEST_F(DescribedCells, DataCellsLeaveTheTablePartAsItWas) {
  open(tableTemplate());
  put(2, 1, Variant::text(u"x"));
  put(3, 3, Variant::real(1));
  put(5, 1, Variant::text(u"below"));
  const Parts out = saved();
  EXPECT_EQ(out.at(kTable), tableTemplate().at(kTable));
}

TEST_F(DescribedCells, APivotTablesCellsAreRefused) {
  Parts parts = tableTemplate();
  parts["xl/pivotTables/pivotTable1.xml"] =
      R"(<pivotTableDefinition xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
      R"(name="P" cacheId="1" dataCaption="Values"><location ref="E10:F12" firstHeaderRow="1" )"
      R"(firstDataRow="1" firstDataCol="1"/></pivotTableDefinition>)";
  replace(
      parts["xl/worksheets/_rels/sheet1.xml.rels"], "</Relationships>",
      R"(<Relationship Id="rId8" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/pivotTable" Target="../pivotTables/pivotTable1.xml"/></Relationships>)");
  open(parts);
  try {
    put(11, 6, Variant::text(u"x"));
    ADD_FAILURE() << "a pivot table's cell was written";
  } catch (const automation::AutomationError& e) {
    EXPECT_NE(e.description().find("F11 lies in the pivot table E10:F12 of "
                                   "xl/pivotTables/pivotTable1.xml"),
              std::string::npos)
        << e.description();
  }
  put(13, 6, Variant::text(u"below it"));
}

// Every kind of write above, into one package each, and the strict check over them all.
TEST_F(DescribedCells, TheSavedPackagesPassTheStrictCheck) {
  std::vector<std::pair<std::filesystem::path, std::filesystem::path>> checked;
  int n = 0;
  auto fill = [&](const std::function<void()>& writes) {
    const std::string name = "case" + std::to_string(++n) + ".xlsx";
    open(tableTemplate(), name);
    writes();
    automation::workbookSave(session.workbook);
    checked.emplace_back(templateCopy, file);
  };
  for (const HeaderCase& c : kHeaderCases) fill([&] { put(1, c.column, c.value); });
  fill([&] {
    put(1, 2, Variant::text(u"Q-1"));
    put(4, 2, Variant::text(u"none"));
    put(4, 1, Variant::real(7));
    put(2, 2, Variant::text(u"5"));
  });
  fill([&] {
    put(1, 1, Variant::text(u"Note"));
    put(1, 3, Variant::text(u"Key"));
  });
  const StrictCheck check = strictCheck(checked, dir.path());
  EXPECT_EQ(check.status, 0) << check.report;
  EXPECT_NE(check.report.find("checked " + std::to_string(2 * checked.size()) + " packages"),
            std::string::npos)
      << check.report;
}

}  // namespace
}  // namespace qx::testing
