// The engine driven through the automation layer exactly as the exporters drive it.

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "engine/package/number_formats.h"
#include "engine/package/styles.h"
#include "platform/code_page.h"
#include "report/sheet_writing.h"
#include "report/workbook_session.h"
#include "tests/engine/package_builder.h"
#include "tests/engine/typed_texts.h"
#include "tests/support/captured_messages.h"
#include "tests/support/strict_check_run.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

using automation::AutomationError;
using automation::AutomationObject;
using automation::Variant;
using report::WorkbookSession;

class EngineObjects : public ::testing::Test {
 protected:
  std::filesystem::path make(const Parts& parts, const std::string& name = "t.xlsx") {
    const std::filesystem::path file = dir.path() / name;
    writePackage(file, parts);
    return file;
  }
  void open(const std::filesystem::path& file) {
    ASSERT_TRUE(session.application.createByProgId("Excel.Application"));
    report::openTemplate(session, file.string());
  }
  std::string text(const AutomationObject& range, int row, int column) {
    return platform::gbkToUtf8(report::readCellText(range, row, column));
  }
  std::string description(const std::function<void()>& call) {
    try {
      call();
    } catch (const AutomationError& e) {
      return e.description();
    }
    return "(no error)";
  }

  TempDir dir;
  WorkbookSession session;
  CapturedMessages messages;
};

TEST_F(EngineObjects, TextsBecomeValuesAsTheApplicationTakesThem) {
  // Row 1: B1 has format 0.00 (xf 1), C1 is a text cell "@" (xf 2).
  open(make(minimalWorkbook(R"(<row r="1"><c r="A1" t="s"><v>0</v></c>)"
                            R"(<c r="B1" s="1"/><c r="C1" s="2"/></row>)")));
  struct Case {
    int column;
    std::string put, shown;
  } cases[] = {
      {4, "abc", "abc"},
      {5, "12", "12"},
      {6, "-1.5e3", "-1.50E+03"},
      {7, "1:10", "1:10"},
      {8, "100:00", "100:00"},
      {9, " 0.25 ", "0.25"},
      {3, "007", "007"},
      {2, "3", "3.00"},
      {2, "1,234%", "12.34"},  // a cell formatted otherwise keeps its format
      {10, "1234567890123456789", "1234567890123456789"},
      {11, "中文测试", "中文测试"},
      {12, "1:60", "1:60"},
      {13, "", ""},
  };
  for (const Case& c : cases) {
    report::writeCell(session.usedRange, 1, c.column, platform::utf8ToGbk(c.put));
    EXPECT_EQ(text(session.usedRange, 1, c.column), c.shown) << c.put;
  }
  EXPECT_EQ(text(session.usedRange, 1, 1), "old");
  EXPECT_EQ(text(session.usedRange, 5, 5), "");
  // Characters beyond the BMP (surrogate pairs) survive the trip.
  automation::setRangeItem(session.usedRange, Variant::integer(1), Variant::integer(14),
                           Variant::text(u"a\U0001F600b"));
  AutomationObject n1 =
      automation::worksheetRange(session.sheet, Variant::text(u"N1"), Variant::missing());
  EXPECT_EQ(automation::rangeText(n1).textValue(), u"a\U0001F600b");
}

// Every typed text put into a General cell (A), a text cell "@" (B) and a cell formatted 0.00
// (C): what each shows, and what the saved sheet holds: kind, value, number format, quote mark.
TEST_F(EngineObjects, TypedTextsAreHeldShownAndSavedAsTheApplicationMakesThem) {
  std::string rows;
  const int count = static_cast<int>(std::size(kTypedTexts));
  for (int row = 1; row <= count; ++row) {
    const std::string r = std::to_string(row);
    rows += "<row r=\"" + r + "\"><c r=\"B" + r + "\" s=\"2\"/><c r=\"C" + r + "\" s=\"1\"/></row>";
  }
  const auto file = make(minimalWorkbook(rows));
  open(file);
  auto shown = [&](const std::string& cell) {
    const AutomationObject range = automation::worksheetRange(
        session.sheet, Variant::text(platform::utf8ToUtf16(cell)), Variant::missing());
    return platform::utf16ToUtf8(automation::rangeText(range).textValue());
  };
  const AutomationObject a1 =
      automation::worksheetRange(session.sheet, Variant::text(u"A1"), Variant::missing());
  for (int row = 1; row <= count; ++row) {
    const TypedText& c = kTypedTexts[row - 1];
    const std::string r = std::to_string(row);
    for (int column = 1; column <= 3; ++column) {
      automation::setRangeItem(a1, Variant::integer(row), Variant::integer(column),
                               Variant::text(platform::utf8ToUtf16(c.text)));
    }
    const bool number = c.kind == RecognisedKind::Number || c.kind == RecognisedKind::Time ||
                        c.kind == RecognisedKind::LongTime;
    EXPECT_EQ(shown("A" + r), c.shown) << c.text;
    EXPECT_EQ(shown("B" + r), c.text) << c.text;
    EXPECT_EQ(shown("C" + r), number ? formatNumber(c.value, "0.00") : c.shown) << c.text;
  }
  automation::workbookSave(session.workbook);

  const Parts parts = readPackage(file);
  pugi::xml_document sheet, strings;
  ASSERT_TRUE(sheet.load_string(parts.at("xl/worksheets/sheet1.xml").c_str()));
  ASSERT_TRUE(strings.load_string(parts.at("xl/sharedStrings.xml").c_str()));
  std::vector<std::string> shared;
  for (const pugi::xml_node si : strings.document_element().children("si")) {
    shared.push_back(si.child("t").text().get());
  }
  Styles styles;
  styles.load(parts.at("xl/styles.xml"), "xl/styles.xml");
  std::map<std::string, pugi::xml_node> cells;
  for (const pugi::xml_node row : sheet.document_element().child("sheetData").children("row")) {
    for (const pugi::xml_node cell : row.children("c")) cells[cell.attribute("r").value()] = cell;
  }
  for (int row = 1; row <= count; ++row) {
    const TypedText& c = kTypedTexts[row - 1];
    const std::string r = std::to_string(row);
    const pugi::xml_node a = cells["A" + r], b = cells["B" + r];
    const std::string_view type = a.attribute("t").value(), v = a.child("v").text().get();
    const std::uint32_t style = a.attribute("s").as_uint();
    const std::string format = *c.format ? c.format : "General";
    EXPECT_EQ(styles.isQuotePrefixed(style), c.kind == RecognisedKind::QuotedText) << c.text;
    switch (c.kind) {
      case RecognisedKind::Number:
      case RecognisedKind::Time:
      case RecognisedKind::LongTime:
        EXPECT_EQ(type, "") << c.text;
        EXPECT_DOUBLE_EQ(std::stod(std::string(v)), c.value) << c.text;
        EXPECT_EQ(styles.numberFormat(style), format) << c.text;
        break;
      case RecognisedKind::Boolean:
        EXPECT_EQ(type, "b") << c.text;
        EXPECT_EQ(v, c.value != 0 ? "1" : "0") << c.text;
        break;
      case RecognisedKind::Error:
        EXPECT_EQ(type, "e") << c.text;
        EXPECT_EQ(v, c.shown) << c.text;
        break;
      case RecognisedKind::QuotedText:
      case RecognisedKind::Text:
        if (*c.text == '\0') {
          EXPECT_FALSE(a.child("v")) << c.text;
          break;
        }
        EXPECT_EQ(type, "s") << c.text;
        EXPECT_EQ(shared.at(std::stoul(std::string(v))), c.shown) << c.text;
        EXPECT_EQ(styles.numberFormat(style), "General") << c.text;
        break;
    }
    if (*c.text == '\0') continue;
    // The text cell holds every text as it was typed, the apostrophe included.
    EXPECT_EQ(std::string_view(b.attribute("t").value()), "s") << c.text;
    EXPECT_EQ(shared.at(b.child("v").text().as_uint()), c.text) << c.text;
    EXPECT_FALSE(styles.isQuotePrefixed(b.attribute("s").as_uint())) << c.text;
    EXPECT_EQ(styles.numberFormat(cells["C" + r].attribute("s").as_uint()), "0.00") << c.text;
  }
}

TEST_F(EngineObjects, TheQuoteMarkIsSharedFramedAndTakenAwayByTheNextEntry) {
  const auto file = make(minimalWorkbook());
  open(file);
  report::FramedCell frame;
  for (int row = 1; row <= 200; ++row) {
    report::writeCell(session.usedRange, row, 1, "'00" + std::to_string(row));
    report::frameCell(session.sheet, 1, row, 2, frame);
  }
  report::writeCell(session.usedRange, 201, 1, "'x");
  report::writeCell(session.usedRange, 201, 1, "12");  // a new entry: a number, unmarked
  automation::workbookSave(session.workbook);
  const Parts parts = readPackage(file);
  const std::string& sheet = parts.at("xl/worksheets/sheet1.xml");
  Styles styles;
  styles.load(parts.at("xl/styles.xml"), "xl/styles.xml");
  // xf 3 is the quoted copy of General, xf 4 that copy framed; the number is back at xf 0.
  EXPECT_EQ(styles.formatCount(), 5u);
  EXPECT_TRUE(styles.isQuotePrefixed(3));
  EXPECT_TRUE(styles.isQuotePrefixed(4));
  EXPECT_NE(sheet.find(R"(<c r="A200" s="4" t="s">)"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find(R"(<c r="A201"><v>12</v></c>)"), std::string::npos) << sheet;
  EXPECT_NE(parts.at("xl/sharedStrings.xml").find("<t>00200</t>"), std::string::npos);
}

TEST_F(EngineObjects, ATextLongerThanACellHoldsIsRefused) {
  open(make(minimalWorkbook()));
  automation::setRangeItem(session.usedRange, Variant::integer(1), Variant::integer(1),
                           Variant::text(std::u16string(32767, u'\x6587')));
  EXPECT_EQ(automation::rangeText(
                automation::worksheetRange(session.sheet, Variant::text(u"A1"), Variant::missing()))
                .textValue()
                .size(),
            32767u);
  for (const std::u16string& text :
       {std::u16string(32768, u'x'), u"'" + std::u16string(32767, u'0')}) {
    const std::string why = description([&] {
      automation::setRangeItem(session.usedRange, Variant::integer(2), Variant::integer(3),
                               Variant::text(text));
    });
    EXPECT_NE(why.find("C2 can hold at most 32,767 characters"), std::string::npos) << why;
  }
  EXPECT_EQ(text(session.usedRange, 2, 3), "");
  // A character beyond the BMP counts as two units, as it does in the application.
  std::u16string pairs;
  for (int i = 0; i < 16384; ++i) pairs += u"\U0001F600";
  const auto put = [&](const std::u16string& text) {
    return description([&] {
      automation::setRangeItem(session.usedRange, Variant::integer(3), Variant::integer(3),
                               Variant::text(text));
    });
  };
  EXPECT_EQ(put(pairs), "the cell C3 can hold at most 32,767 characters; the text has 32768");
  pairs.replace(pairs.size() - 2, 2, u"x");
  EXPECT_EQ(put(pairs), "(no error)");
  EXPECT_EQ(automation::rangeText(
                automation::worksheetRange(session.sheet, Variant::text(u"C3"), Variant::missing()))
                .textValue(),
            pairs);
}

// What Range.Item makes of each kind of value: what the cell then shows, or why it is refused.
// A refused value leaves the cell as it was, a cell of the template included.
TEST_F(EngineObjects, EachKindOfValueIsTakenAsTheCellShowsItOrRefused) {
  open(make(minimalWorkbook(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)")));
  const std::string fine = "(no error)";
  struct Case {
    Variant value;
    std::string shown, why;
  } cases[] = {
      {Variant(), "", fine},
      {Variant::smallInteger(-7), "-7", fine},
      {Variant::integer(123456), "123456", fine},
      {Variant::unsignedInteger(4000000000u), "4000000000", fine},
      {Variant::single(0.5f), "0.5", fine},
      {Variant::real(2.25), "2.25", fine},
      {Variant::boolean(true), "TRUE", fine},
      {Variant::boolean(false), "FALSE", fine},
      {Variant::text(u"1,234"), "1,234", fine},
      {Variant::text(u"\x6D4B\x70B9"), "\xE6\xB5\x8B\xE7\x82\xB9", fine},  // 测点
      {Variant::text(u""), "", fine},
      {Variant::adopt(nullptr), "old", "a VT_DISPATCH value cannot be put into a cell"},
      {Variant::error(0), "old", "a VT_ERROR value cannot be put into a cell"},
      {Variant::missing(), "old", "a VT_ERROR value cannot be put into a cell"},
  };
  int row = 1;
  for (const Case& c : cases) {
    ++row;
    report::writeCell(session.usedRange, row, 1, "old");
    EXPECT_EQ(description([&] {
                automation::setRangeItem(session.usedRange, Variant::integer(row),
                                         Variant::integer(1), c.value);
              }),
              c.why)
        << describe(c.value);
    EXPECT_EQ(text(session.usedRange, row, 1), c.shown) << describe(c.value);
  }
  EXPECT_EQ(description([&] {
              automation::setRangeItem(session.usedRange, Variant::integer(1), Variant::integer(1),
                                       Variant::adopt(nullptr));
            }),
            "a VT_DISPATCH value cannot be put into a cell");
  EXPECT_EQ(text(session.usedRange, 1, 1), "old");
}

TEST_F(EngineObjects, SavedValuesComeBackAfterReopening) {
  const auto file = make(minimalWorkbook());
  open(file);
  report::writeCell(session.usedRange, 2, 2, platform::utf8ToGbk("报告"));
  report::writeCell(session.usedRange, 3, 2, "42");
  automation::workbookSave(session.workbook);
  session.release();
  open(file);
  EXPECT_EQ(text(session.usedRange, 1, 1), "报告");
  AutomationObject block =
      automation::worksheetRange(session.sheet, Variant::text(u"$B$3"), Variant::text(u"$B$3"));
  EXPECT_EQ(platform::utf16ToUtf8(automation::rangeText(block).textValue()), "42");
}

TEST_F(EngineObjects, UsedRangeStartsAtTheFirstUsedCellAndIgnoresTheStoredDimension) {
  open(make(minimalWorkbook(
      R"(<row r="3"><c r="C3" s="1"/></row><row r="5"><c r="E5" t="s"><v>0</v></c></row>)")));
  EXPECT_EQ(text(session.usedRange, 3, 3), "old");  // E5 counted from C3
  report::writeCell(session.usedRange, 1, 1, "x");
  AutomationObject c3 =
      automation::worksheetRange(session.sheet, Variant::text(u"C3"), Variant::missing());
  EXPECT_EQ(platform::utf16ToUtf8(automation::rangeText(c3).textValue()), "x");
  // Beyond the range's bounds, as the application allows.
  report::writeCell(session.usedRange, 10, 10, "far");
  AutomationObject l12 =
      automation::worksheetRange(session.sheet, Variant::text(u"$L$12"), Variant::text(u"$L$12"));
  EXPECT_EQ(platform::utf16ToUtf8(automation::rangeText(l12).textValue()), "far");
}

TEST_F(EngineObjects, EmptySheetUsedRangeIsA1) {
  open(make(minimalWorkbook()));
  report::writeCell(session.usedRange, 1, 1, "a1");
  AutomationObject a1 =
      automation::worksheetRange(session.sheet, Variant::text(u"A1"), Variant::missing());
  EXPECT_EQ(platform::utf16ToUtf8(automation::rangeText(a1).textValue()), "a1");
}

TEST_F(EngineObjects, FramingManyCellsAddsAHandfulOfStyles) {
  const auto file = make(minimalWorkbook(R"(<row r="1"><c r="A1" s="1"/></row>)"));
  open(file);
  report::FramedCell cell;
  for (int row = 1; row <= 2000; ++row) {
    for (int column = 1; column <= 3; ++column) {
      report::writeCell(session.usedRange, row, column, "v");
      report::frameCell(session.sheet, column, row, 2, cell);
    }
  }
  report::frameCell(session.sheet, 1, 1, -4138, cell);
  automation::workbookSave(session.workbook);
  const std::string styles = readPackage(file).at("xl/styles.xml");
  EXPECT_NE(styles.find(R"(<cellXfs count="6">)"), std::string::npos) << styles;
  EXPECT_NE(styles.find(R"(<borders count="3">)"), std::string::npos) << styles;
  EXPECT_NE(styles.find(R"(<left style="thin"><color rgb="FF000000"/></left>)"), std::string::npos);
  // The framed A1 kept its number format and font.
  EXPECT_NE(styles.find(R"(numFmtId="2" fontId="1")"), std::string::npos);
}

TEST_F(EngineObjects, UnknownBorderWeightFailsAsTheApplicationDoes) {
  open(make(minimalWorkbook()));
  report::FramedCell cell;
  for (const int weight : {0, 3, -4137, 5}) {
    const std::string why =
        description([&] { report::frameCell(session.sheet, 1, 1, weight, cell); });
    EXPECT_NE(why.find("Weight"), std::string::npos) << weight << ": " << why;
  }
  for (const int weight : {1, 2, -4138, 4}) report::frameCell(session.sheet, 1, 1, weight, cell);
}

// BorderAround's arguments as the line each frame gets (its left edge in the saved styles), or
// why they are refused. Missing arguments are left out at the end or passed as missing.
TEST_F(EngineObjects, BorderAroundArgumentsBecomeTheLineOrTheFailure) {
  const auto file = make(minimalWorkbook());
  open(file);
  const Variant none = Variant::missing();
  auto i4 = [](std::int32_t v) { return Variant::integer(v); };
  const std::string thinAuto = R"(<left style="thin"><color indexed="64"/></left>)";
  const std::string weightError =
      "unable to set the Weight property of the Border class (3 is none of 1 hairline, 2 thin, "
      "-4138 medium, 4 thick)";
  struct Case {
    std::vector<Variant> arguments;
    std::string left;  // the frame's left edge, or the failure
  } cases[] = {
      {{}, thinAuto},
      {{none, i4(-4138)}, R"(<left style="medium"><color indexed="64"/></left>)"},
      {{Variant(), Variant::smallInteger(4)},
       R"(<left style="thick"><color indexed="64"/></left>)"},
      {{i4(-4115), i4(2)}, R"(<left style="dashed"><color indexed="64"/></left>)"},
      {{Variant::real(-4115), i4(-4138)},
       R"(<left style="mediumDashed"><color indexed="64"/></left>)"},
      {{i4(-4118), i4(1)}, R"(<left style="hair"><color indexed="64"/></left>)"},
      {{i4(-4142), i4(2)}, "<left/>"},
      {{i4(1), i4(2), i4(3)}, R"(<left style="thin"><color indexed="10"/></left>)"},
      {{i4(1), i4(2), i4(-4105)}, thinAuto},
      {{i4(1), i4(2), i4(3), i4(0x0000FF)}, R"(<left style="thin"><color rgb="FFFF0000"/></left>)"},
      {{i4(1), i4(2), none, Variant::text(u"red")}, thinAuto},
      {{i4(1), i4(2), Variant::text(u"red")}, thinAuto},
      {{Variant::text(u"thin"), i4(2)}, "BorderAround: the line style must be a number"},
      {{Variant::text(u"thin"), i4(3)}, weightError},
      {{i4(1), i4(3), i4(57)}, weightError},
      {{i4(99), i4(2)}, "BorderAround: 99 is not a line style of the object model"},
      {{i4(1), i4(2), i4(57)}, "BorderAround: 57 is not a colour index of the palette (1 to 56)"},
      {{i4(1), Variant::text(u"2")}, "Weight: a number was expected, not VT_BSTR"},
  };
  std::vector<std::string> framed;  // the cell of each case that framed one
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string cell = "B" + std::to_string(i + 1);
    const AutomationObject range = automation::worksheetRange(
        session.sheet, Variant::text(platform::utf8ToUtf16(cell)), Variant::missing());
    Variant result;
    automation::ExceptionInfo exception;
    const std::int32_t code =
        range.get()->invoke(automation::op::kRangeBorderAround.dispid,
                            automation::InvokeKind::Method, cases[i].arguments, result, exception);
    framed.push_back(code == automation::hr::kOk ? cell : "");
    if (code != automation::hr::kOk) {
      EXPECT_EQ(platform::utf16ToUtf8(exception.description), cases[i].left) << cell;
    }
  }
  automation::workbookSave(session.workbook);
  const Parts parts = readPackage(file);
  pugi::xml_document sheet, styles;
  ASSERT_TRUE(sheet.load_string(parts.at("xl/worksheets/sheet1.xml").c_str()));
  ASSERT_TRUE(styles.load_string(parts.at("xl/styles.xml").c_str()));
  const pugi::xml_node root = styles.document_element();
  std::map<std::string, std::string> xfOfLine;  // equal lines share one format
  // (a line of no style on a cell without a border leaves it its format)
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    if (framed[i].empty()) continue;
    const std::string xf = std::to_string(
        sheet.select_node(("//*[@r='" + framed[i] + "']/@s").c_str()).attribute().as_uint());
    const unsigned border = std::next(root.child("cellXfs").children("xf").begin(), std::stoi(xf))
                                ->attribute("borderId")
                                .as_uint();
    std::ostringstream printed;
    std::next(root.child("borders").children("border").begin(), border)
        ->child("left")
        .print(printed, "", pugi::format_raw);
    const std::string left = printed.str();
    EXPECT_EQ(left, cases[i].left) << framed[i];
    EXPECT_EQ(xfOfLine.emplace(left, xf).first->second, xf) << framed[i];
  }
}

TEST_F(EngineObjects, RefusesFilesThatAreNoWorkbookPackagesAndSaysWhy) {
  ASSERT_TRUE(session.application.createByProgId("Excel.Application"));
  session.workbooks = automation::applicationWorkbooks(session.application);
  const auto legacy = dir.write("old.xls", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
  const auto text = dir.write("notes.txt", "hello");
  const auto empty = dir.write("empty.xlsx", "");
  const auto encrypted =
      dir.write("secret.xlsx", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1xx", 10));
  const auto garbage = dir.write("garbage.xlsx", "PK\x03\x04garbage");
  const std::pair<std::filesystem::path, std::string> cases[] = {
      {legacy, "legacy binary .xls"},  {text, "(.txt); accepted: .xlsx"},
      {empty, "empty file"},           {encrypted, "OLE2"},
      {garbage, "not a readable zip"}, {dir.path() / "missing.xlsx", "cannot be opened"}};
  for (const auto& [file, expected] : cases) {
    const std::string why = description([&] {
      automation::workbooksOpen(session.workbooks, file.string(), automation::OpenArguments());
    });
    EXPECT_NE(why.find(expected), std::string::npos) << why;
    EXPECT_NE(why.find(file.filename().string()), std::string::npos) << why;
  }
}

TEST_F(EngineObjects, PlacesAPictureOverTheBlockAndEmbedsIt) {
  const auto file = make(minimalWorkbook());
  const auto picture = dir.write("p.png", tinyPng());
  open(file);
  ASSERT_TRUE(report::placePicture(session.sheet.copy(), "$B$2", "$D$6", picture.string(),
                                   report::PictureStyle::NearestSingle, messages));
  automation::workbookSave(session.workbook);
  const Parts parts = readPackage(file);
  ASSERT_EQ(parts.count("xl/drawings/drawing1.xml"), 1u);
  EXPECT_EQ(parts.at("xl/media/image1.png"), tinyPng());
  const std::string& drawing = parts.at("xl/drawings/drawing1.xml");
  // B2 + (2, 3) points: column 1 at 2 pt, row 1 at 3 pt; 3 columns - 4 pt wide.
  EXPECT_NE(drawing.find("<xdr:from><xdr:col>1</xdr:col><xdr:colOff>25400</xdr:colOff>"
                         "<xdr:row>1</xdr:row><xdr:rowOff>38100</xdr:rowOff></xdr:from>"),
            std::string::npos)
      << drawing;
  EXPECT_NE(drawing.find(R"(<a:ext cx="1778000" cy="901700"/>)"), std::string::npos) << drawing;
  EXPECT_NE(parts.at("xl/worksheets/sheet1.xml").find(R"(<drawing r:id="rId1"/>)"),
            std::string::npos);
  EXPECT_NE(parts.at("[Content_Types].xml").find(R"(Extension="png")"), std::string::npos);
  EXPECT_NE(parts.at("xl/worksheets/_rels/sheet1.xml.rels").find("../drawings/drawing1.xml"),
            std::string::npos);
  EXPECT_NE(parts.at("xl/drawings/_rels/drawing1.xml.rels").find("../media/image1.png"),
            std::string::npos);
}

// A package whose content types name every part by Override, relationships parts included,
// and declare nothing by Default: each part the picture adds gets an Override of its own.
TEST_F(EngineObjects, APackageOfOverridesOnlyGetsOverridesForTheNewParts) {
  Parts parts = minimalWorkbook();
  std::string& types = parts["[Content_Types].xml"];
  const std::string rels = "application/vnd.openxmlformats-package.relationships+xml";
  for (const char* extension : {"rels", "xml"}) {
    const std::size_t at = types.find(std::string("<Default Extension=\"") + extension);
    types.erase(at, types.find("/>", at) + 2 - at);
  }
  for (const char* part : {"/_rels/.rels", "/xl/_rels/workbook.xml.rels"}) {
    types.insert(types.rfind("</Types>"),
                 std::string("<Override PartName=\"") + part + "\" ContentType=\"" + rels + "\"/>");
  }
  const auto file = make(parts);
  const auto copy = make(parts, "template.xlsx");
  open(file);
  ASSERT_TRUE(report::placePicture(session.sheet.copy(), "$B$2", "$D$6",
                                   dir.write("p.png", tinyPng()).string(),
                                   report::PictureStyle::NearestSingle, messages));
  automation::workbookSave(session.workbook);
  const std::string saved = readPackage(file).at("[Content_Types].xml");
  EXPECT_EQ(saved.find("<Default"), std::string::npos) << saved;
  for (const std::string part :
       {"/xl/drawings/drawing1.xml", "/xl/drawings/_rels/drawing1.xml.rels",
        "/xl/worksheets/_rels/sheet1.xml.rels", "/xl/media/image1.png"}) {
    EXPECT_NE(saved.find("<Override PartName=\"" + part + "\""), std::string::npos) << part;
  }
  const StrictCheck check = strictCheck({{copy, file}}, dir.path());
  EXPECT_EQ(check.status, 0) << check.report;
}

TEST_F(EngineObjects, RefusesPicturesOfOtherKinds) {
  open(make(minimalWorkbook()));
  const auto picture = dir.write("p.tif", "II*\0 not a picture we take");
  AutomationObject shapes = automation::worksheetShapes(session.sheet);
  const std::string why = description(
      [&] { automation::shapesAddPicture(shapes, picture.string(), 0, 1, 1, 1, 10, 10); });
  EXPECT_NE(why.find("BMP, PNG, JPEG, GIF"), std::string::npos) << why;
}

TEST_F(EngineObjects, GeometryFollowsColumnWidthsRowHeightsAndHiddenOnes) {
  open(make(minimalWorkbook(
      R"(<row r="2" ht="30" customHeight="1"/><row r="3" hidden="1"/>)",
      R"(<sheetFormatPr defaultRowHeight="15"/><cols><col min="2" max="2" width="20" customWidth="1"/>)"
      R"(<col min="3" max="3" width="9" hidden="1"/></cols>)")));
  AutomationObject block =
      automation::worksheetRange(session.sheet, Variant::text(u"B2"), Variant::text(u"D4"));
  EXPECT_DOUBLE_EQ(automation::rangeLeft(block).realValue(), 48);  // A: 64 px
  EXPECT_DOUBLE_EQ(automation::rangeTop(block).realValue(), 15);
  EXPECT_DOUBLE_EQ(automation::rangeWidth(block).realValue(),
                   105 + 0 + 48);  // 140 px, hidden, 64 px
  EXPECT_DOUBLE_EQ(automation::rangeHeight(block).realValue(), 30 + 0 + 15);
}

TEST_F(EngineObjects, NextWalksTheWorksheetsAndEndsWithNull) {
  open(make(minimalWorkbook()));
  AutomationObject second = automation::worksheetNext(session.sheet);
  ASSERT_FALSE(second.empty());
  EXPECT_TRUE(automation::worksheetNext(second).empty());
}

TEST_F(EngineObjects, CloseWithoutSavingLeavesTheFileAlone) {
  const auto file = make(minimalWorkbook());
  const Parts before = readPackage(file);
  open(file);
  report::writeCell(session.usedRange, 1, 1, "changed");
  automation::workbookClose(session.workbook, Variant::missing(), Variant::missing(),
                            Variant::missing());
  EXPECT_EQ(readPackage(file), before);
  const std::string why = description([&] { automation::workbookSave(session.workbook); });
  EXPECT_NE(why.find("closed"), std::string::npos) << why;
}

TEST_F(EngineObjects, WorkbooksCloseClosesEveryWorkbookUnsaved) {
  const auto file = make(minimalWorkbook());
  const Parts before = readPackage(file);
  open(file);
  report::writeCell(session.usedRange, 1, 1, "changed");
  automation::workbooksClose(session.workbooks);
  automation::applicationQuit(session.application);
  EXPECT_EQ(readPackage(file), before);
}

}  // namespace
}  // namespace qx::testing

namespace qx::testing {
namespace {

TEST_F(EngineObjects, SavingTwiceKeepsBothRoundsOfChanges) {
  const auto file = make(minimalWorkbook());
  open(file);
  report::writeCell(session.usedRange, 1, 1, "first");
  automation::workbookSave(session.workbook);
  report::writeCell(session.usedRange, 2, 1, "second");
  automation::workbookSave(session.workbook);
  session.release();
  open(file);
  EXPECT_EQ(text(session.usedRange, 1, 1), "first");
  EXPECT_EQ(text(session.usedRange, 2, 1), "second");
}

TEST_F(EngineObjects, OverwritingAFormulaDropsTheCalculationChain) {
  Parts parts = minimalWorkbook(R"(<row r="1"><c r="A1"><f>1+1</f><v>2</v></c></row>)");
  const std::string chain =
      "http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain";
  parts["xl/calcChain.xml"] = R"(<calcChain xmlns="m"><c r="A1" i="1"/></calcChain>)";
  parts["xl/_rels/workbook.xml.rels"].insert(
      parts["xl/_rels/workbook.xml.rels"].find("</Relationships>"),
      R"(<Relationship Id="rId9" Type=")" + chain + R"(" Target="calcChain.xml"/>)");
  parts["[Content_Types].xml"].insert(
      parts["[Content_Types].xml"].find("</Types>"),
      R"(<Override PartName="/xl/calcChain.xml" ContentType="c"/>)");
  const auto file = make(parts);
  open(file);
  EXPECT_EQ(text(session.usedRange, 1, 1), "2");  // the cached result
  report::writeCell(session.usedRange, 1, 1, "value");
  automation::workbookSave(session.workbook);
  const Parts saved = readPackage(file);
  EXPECT_EQ(saved.count("xl/calcChain.xml"), 0u);
  EXPECT_EQ(saved.at("xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
  EXPECT_EQ(saved.at("[Content_Types].xml").find("calcChain"), std::string::npos);
  EXPECT_EQ(saved.at("xl/worksheets/sheet1.xml").find("<f>"), std::string::npos);
}

}  // namespace
}  // namespace qx::testing

namespace qx::testing {
namespace {

TEST_F(EngineObjects, OverwritingASharedFormulaMasterKeepsTheOthersFormulas) {
  const auto file = make(minimalWorkbook(
      R"(<row r="1"><c r="A1"><f t="shared" ref="A1:A2" si="0">B1+1</f><v>1</v></c></row>)"
      R"(<row r="2"><c r="A2"><f t="shared" si="0"/><v>1</v></c></row>)"));
  open(file);
  report::writeCell(session.usedRange, 1, 1, "x");
  automation::workbookSave(session.workbook);
  const std::string sheet = readPackage(file).at("xl/worksheets/sheet1.xml");
  EXPECT_NE(sheet.find(R"(<c r="A2"><f>B2+1</f><v>1</v></c>)"), std::string::npos) << sheet;
  EXPECT_EQ(sheet.find("shared"), std::string::npos) << sheet;
}

// The failure report puts the operation in front of the server's description; a description
// that named it again would show it twice to the user.
TEST_F(EngineObjects, FailureDescriptionsLeaveTheOperationToTheReport) {
  open(make(minimalWorkbook()));
  report::FramedCell cell;
  const std::vector<std::pair<std::string, std::function<void()>>> failures = {
      {"Range.Item", [&] { report::writeCell(session.usedRange, 0, 1, "x"); }},
      {"Range.BorderAround", [&] { report::frameCell(session.sheet, 1, 1, 3, cell); }},
      {"Worksheet.Range",
       [&] {
         automation::worksheetRange(session.sheet, Variant::text(u"1A"), Variant::missing());
       }},
  };
  for (const auto& [operation, call] : failures) {
    try {
      call();
      ADD_FAILURE() << operation << " did not fail";
    } catch (const AutomationError& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.find(operation + ": "), 0u) << what;
      EXPECT_EQ(what.find(operation, operation.size()), std::string::npos) << what;
    }
  }
}

}  // namespace
}  // namespace qx::testing
