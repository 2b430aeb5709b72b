// What a fill must not take from a template, one small template per way it was lost: texts of
// spaces, line ends, comments, unknown children, UTF-16 parts, phonetic flags, styles behind
// mc:AlternateContent; and the style and text a written cell gets.

#include <gtest/gtest.h>

#include <functional>

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "platform/code_page.h"
#include "report/sheet_writing.h"
#include "report/workbook_session.h"
#include "tests/engine/package_builder.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

using automation::AutomationObject;
using automation::Variant;

constexpr const char* kSheet = "xl/worksheets/sheet1.xml";
constexpr const char* kStrings = "xl/sharedStrings.xml";
constexpr const char* kStyles = "xl/styles.xml";

void replace(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

// The part as a UTF-16LE file with a byte order mark, as some producers write them.
std::string utf16(std::string ascii) {
  replace(ascii, "encoding=\"UTF-8\"", "encoding=\"UTF-16\"");
  std::string out = "\xFF\xFE";
  for (const char c : ascii) out += std::string{c, '\0'};
  return out;
}

class TemplateKept : public ::testing::Test {
 protected:
  // Opens the template; `a1` then addresses cells by their sheet row and column.
  void open(const Parts& parts) {
    file = dir.path() / "t.xlsx";
    writePackage(file, parts);
    ASSERT_TRUE(session.application.createByProgId("Excel.Application"));
    report::openTemplate(session, file.string());
    a1 = automation::worksheetRange(session.sheet, Variant::text(u"A1"), Variant::missing());
  }
  void write(int row, int column, const std::string& utf8) {
    report::writeCell(a1, row, column, platform::utf8ToGbk(utf8));
  }
  std::string shown(int row, int column) {
    return platform::gbkToUtf8(report::readCellText(a1, row, column));
  }
  std::string saved(const char* part) {
    automation::workbookSave(session.workbook);
    return readPackage(file).at(part);
  }

  TempDir dir;
  std::filesystem::path file;
  report::WorkbookSession session;
  AutomationObject a1;
};

struct LossCase {
  const char* name;
  std::function<void(Parts&)> make;  // changes the minimal template
  const char* part;                  // the part the fill rewrites
  std::vector<std::string> kept;     // in the saved part, in this order
};

void PrintTo(const LossCase& c, std::ostream* out) {
  *out << c.name;
}

// Each template is filled with one text in B9, which rewrites the sheet and the shared strings.
const LossCase kLossCases[] = {
    {"TextsOfSpacesInItemsRunsAndCachedResults",
     [](Parts& p) {
       replace(p[kStrings], "<si><t>old</t></si>",
               R"(<si><t xml:space="preserve"> </t></si>)"
               R"(<si><r><t>a</t></r><r><rPr><b/></rPr><t xml:space="preserve"> </t></r></si>)");
       replace(p[kSheet], "<sheetData>",
               R"(<sheetData><row r="9"><c r="A9" t="str"><f>" "</f>)"
               R"(<v xml:space="preserve">  </v></c></row>)");
     },
     kStrings,
     {R"(<si><t xml:space="preserve"> </t></si>)",
      R"(<rPr><b/></rPr><t xml:space="preserve"> </t>)", "<si><t>new</t></si>"}},
    {"CachedResultOfSpacesInARewrittenRow",
     [](Parts& p) {
       replace(p[kSheet], "<sheetData>",
               R"(<sheetData><row r="9"><c r="A9" t="str"><f>" "</f>)"
               R"(<v xml:space="preserve">  </v></c></row>)");
     },
     kSheet,
     {R"(<v xml:space="preserve">  </v>)"}},
    {"CarriageReturnsAsReferences",
     [](Parts& p) {
       replace(p[kSheet], "<sheetData>",
               R"(<sheetData><row r="9"><c r="A9" t="inlineStr"><is><t>a&#13;&#10;b</t></is></c>)"
               R"(</row>)");
     },
     kSheet,
     {"<t>a&#13;\nb</t>"}},
    {"CommentsAndInstructionsBeforeAndInsideTheRoot",
     [](Parts& p) {
       replace(p[kSheet], "<worksheet", "<!-- before --><?producer x?><worksheet");
       replace(p[kSheet], "<sheetData>", "<!-- inside --><sheetData>");
       replace(p[kStrings], "<si>", "<!-- items --><si>");
     },
     kSheet,
     {"<!-- before --><?producer x?><worksheet", "<!-- inside --><sheetData>"}},
    {"CommentsOfTheSharedStrings",
     [](Parts& p) { replace(p[kStrings], "<si>", "<!-- items --><si>"); },
     kStrings,
     {"<!-- items --><si><t>old</t></si><si><t>new</t></si>"}},
    {"SharedStringsChildrenOtherThanItems",
     [](Parts& p) { replace(p[kStrings], "</sst>", R"(<extLst><ext uri="u"/></extLst></sst>)"); },
     kStrings,
     {R"(<si><t>old</t></si><si><t>new</t></si><extLst><ext uri="u"/></extLst></sst>)"}},
    {"RowChildrenOtherThanCells",
     [](Parts& p) {
       replace(p[kSheet], "<sheetData>",
               R"(<sheetData><row r="9"><c r="A9"/><extLst><ext uri="r"/></extLst></row>)");
     },
     kSheet,
     {R"(<c r="B9" t="s"><v>1</v></c><extLst><ext uri="r"/></extLst></row>)"}},
    {"PartsInUtf16",
     [](Parts& p) {
       replace(p[kSheet], "<sheetData>", R"(<sheetData><row r="1"><c r="A1"><v>5</v></c></row>)");
       p[kSheet] = utf16(p[kSheet]);
     },
     kSheet,
     {R"(encoding="UTF-8")", R"(<c r="A1"><v>5</v></c>)", R"(<c r="B9" t="s">)"}},
    {"AttributeLineEnds",
     [](Parts& p) {
       replace(p[kSheet], "<sheetData>",
               R"(<sheetData><row r="9" x14ac:note="a&#10;b&#9;c">)"
               R"(<c r="A9"/></row>)");
     },
     kSheet,
     {R"(x14ac:note="a&#10;b&#9;c")"}},
};

class TemplateLoss : public TemplateKept, public ::testing::WithParamInterface<LossCase> {};

TEST_P(TemplateLoss, ComesBackWithTheFill) {
  Parts parts = minimalWorkbook();
  GetParam().make(parts);
  open(parts);
  write(9, 2, "new");
  const std::string part = saved(GetParam().part);
  std::size_t from = 0;
  for (const std::string& kept : GetParam().kept) {
    const std::size_t at = part.find(kept, from);
    ASSERT_NE(at, std::string::npos) << kept << " not (in order) in " << part;
    from = at + kept.size();
  }
}

INSTANTIATE_TEST_SUITE_P(Classes, TemplateLoss, ::testing::ValuesIn(kLossCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TemplateKept, CellsOfSpacesShowTheirSpacesAndFormatsMayShowNothing) {
  Parts parts = minimalWorkbook(
      R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="inlineStr"><is><t xml:space="preserve">  </t></is></c>)"
      R"(<c r="C1" t="str"><f>""</f><v></v></c><c r="D1" s="3"><v>5</v></c>)"
      R"(<c r="E1" s="4"><v>0</v></c><c r="F1" s="4"><v>5</v></c><c r="G1" s="5"><v>-2</v></c>)"
      R"(<c r="H1" s="5"><v>0</v></c></row>)");
  replace(parts[kStrings], "<si><t>old</t></si>", R"(<si><t xml:space="preserve"> </t></si>)");
  replace(parts[kStyles], "<fonts",
          R"(<numFmts count="3"><numFmt numFmtId="164" formatCode=";;;"/>)"
          R"(<numFmt numFmtId="165" formatCode="0;-0;;@"/><numFmt numFmtId="166" formatCode="0;"/>)"
          R"(</numFmts><fonts)");
  replace(parts[kStyles], "</cellXfs>",
          R"(<xf numFmtId="164" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
          R"(<xf numFmtId="165" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
          R"(<xf numFmtId="166" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>)");
  open(parts);
  const std::pair<int, const char*> cases[] = {{1, " "}, {2, "  "}, {3, ""}, {4, ""},
                                               {5, ""},  {6, "5"},  {7, ""}, {8, "0"}};
  for (const auto& [column, text] : cases) EXPECT_EQ(shown(1, column), text) << column;
}

TEST_F(TemplateKept, WrittenCellsTakeTheirRowsElseTheirColumnsStyle) {
  // Column C is text (@, xf 2), row 5 is 0.00 in bold (xf 1) by its custom format, row 6 has a
  // style without customFormat, which new cells do not take.
  open(minimalWorkbook(
      R"(<row r="5" s="1" customFormat="1"/><row r="6" s="1"/>)",
      R"(<cols><col min="2" max="3" width="9" style="2" customWidth="1"/></cols>)"));
  const struct {
    int row, column;
    const char* put;
    const char* shown;
    const char* cell;
  } cases[] = {
      {1, 3, "007", "007", R"(<c r="C1" s="2" t="s">)"},   // text by the column's format
      {5, 3, "3", "3.00", R"(<c r="C5" s="1"><v>3</v>)"},  // the row before the column
      {6, 3, "007", "007", R"(<c r="C6" s="2" t="s">)"},  {6, 4, "3", "3", R"(<c r="D6"><v>3</v>)"},
      {1, 1, "007", "7", R"(<c r="A1"><v>7</v>)"},
  };
  for (const auto& c : cases) {
    write(c.row, c.column, c.put);
    EXPECT_EQ(shown(c.row, c.column), c.shown) << c.cell;
  }
  const std::string sheet = saved(kSheet);
  for (const auto& c : cases) EXPECT_NE(sheet.find(c.cell), std::string::npos) << sheet;
}

TEST_F(TemplateKept, FramesGoOnCopiesOfStylesBehindAlternateContent) {
  Parts parts = minimalWorkbook(R"(<row r="1"><c r="A1" s="2"/></row>)");
  replace(
      parts[kStyles], R"(<xf numFmtId="2")",
      R"(<mc:AlternateContent xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006">)"
      R"(<mc:Choice Requires="x"><xf numFmtId="2" fontId="1" borderId="0" xfId="0"/></mc:Choice>)"
      R"(<mc:Fallback><xf numFmtId="2")");
  replace(parts[kStyles], R"(applyFont="1"/>)",
          R"(applyFont="1"/></mc:Fallback></mc:AlternateContent>)");
  open(parts);
  report::FramedCell cell;
  report::frameCell(session.sheet, 1, 1, 2, cell);
  report::frameCell(session.sheet, 2, 1, 2, cell);
  const std::string sheet = saved(kSheet);
  const std::string styles = readPackage(file).at(kStyles);
  // Three records before: the copies of xf 2 and xf 0 with a border are 3 and 4.
  EXPECT_NE(sheet.find(R"(<c r="A1" s="3"/><c r="B1" s="4"/>)"), std::string::npos) << sheet;
  EXPECT_NE(styles.find(R"(<cellXfs count="5">)"), std::string::npos) << styles;
}

TEST_F(TemplateKept, OverwrittenCellsKeepTheirPhoneticFlag) {
  open(minimalWorkbook(R"(<row r="1"><c r="A1" t="s" ph="1"><v>0</v></c></row>)"));
  write(1, 1, "新");
  EXPECT_NE(saved(kSheet).find(R"(<c r="A1" ph="1" t="s">)"), std::string::npos);
}

TEST_F(TemplateKept, WritingIntoAnArrayFormulaOrDataTableIsRefused) {
  open(minimalWorkbook(
      R"(<row r="1"><c r="A1"><f t="array" ref="A1:A2">B1:B2*2</f><v>2</v></c>)"
      R"(<c r="C1"><f t="dataTable" ref="C1:C2" dt2D="0" dtr="0" r1="D1"/><v>1</v></c></row>)"
      R"(<row r="2"><c r="A2"><v>4</v></c></row>)"));
  for (const int column : {1, 3}) {
    try {
      write(1, column, "x");
      ADD_FAILURE() << "a write into column " << column << " was taken";
    } catch (const automation::AutomationError& e) {
      EXPECT_NE(
          e.description().find(column == 1 ? "array formula of A1:A2" : "data table of C1:C2"),
          std::string::npos)
          << e.description();
    }
  }
  EXPECT_EQ(shown(1, 1), "2");
}

}  // namespace
}  // namespace qx::testing
