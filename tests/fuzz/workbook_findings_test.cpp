// Workbook parts that are damaged in ways a reader meets: each opens, or fails with an
// EngineError that says what is wrong, and never with any other error.

#include <gtest/gtest.h>

#include <string>

#include "automation/variant.h"
#include "engine/cell_values.h"
#include "engine/engine_error.h"
#include "engine/relationships.h"
#include "engine/workbook.h"
#include "tests/engine/package_builder.h"
#include "tests/support/temp_dir.h"

namespace qx::engine {
namespace {

std::string workbookPart(const std::string& sheets) {
  return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
         R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")"
         R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
         "<sheets>" +
         sheets + "</sheets></workbook>";
}

TEST(DamagedWorkbookPart, ASheetWithoutANameOpensWithAnEmptyName) {
  ::qx::testing::TempDir dir;
  testing::Parts parts = testing::minimalWorkbook();
  parts["xl/workbook.xml"] = workbookPart(
      R"(<sheet sheetId="1" r:id="rId1"/><sheet name="Two" sheetId="2" r:id="rId2"/>)");
  const auto file = dir.path() / "book.xlsx";
  testing::writePackage(file, parts);

  Workbook workbook(file.string());
  ASSERT_EQ(workbook.sheets().size(), 2u);
  EXPECT_EQ(workbook.sheets()[0].name, "");
  EXPECT_EQ(workbook.sheets()[1].name, "Two");
}

TEST(DamagedWorkbookPart, ASheetWithoutARelationshipIsAnEngineError) {
  ::qx::testing::TempDir dir;
  testing::Parts parts = testing::minimalWorkbook();
  parts["xl/workbook.xml"] = workbookPart(R"(<sheet sheetId="1"/>)");
  const auto file = dir.path() / "book.xlsx";
  testing::writePackage(file, parts);
  EXPECT_THROW(Workbook(file.string()), EngineError);
}

// A damaged relationships part that calls the sheet a calculation chain: overwriting a formula
// drops the calculation chain when saving, which must not drop the sheet.
TEST(DamagedRelationships, ACalculationChainThatIsTheSheetIsKept) {
  ::qx::testing::TempDir dir;
  testing::Parts parts =
      testing::minimalWorkbook(R"(<row r="1"><c r="A1"><f>1+1</f><v>2</v></c></row>)");
  std::string& links = parts["xl/_rels/workbook.xml.rels"];
  links.insert(links.rfind("</Relationships>"),
               R"(<Relationship Id="rId9" Type="http://x/relationships/calcChain")"
               R"( Target="worksheets/sheet1.xml"/>)");
  const auto file = dir.path() / "book.xlsx";
  testing::writePackage(file, parts);
  {
    Workbook workbook(file.string());
    putCellValue(workbook, workbook.worksheet(0), 1, 1, automation::Variant::text(u"kept"));
    workbook.save();
  }
  Workbook again(file.string());
  EXPECT_EQ(cellText(again, again.worksheet(0), 1, 1), "kept");
}

// A damaged part that gives two relationships one id: dropping the calculation chain after a
// formula was overwritten must not drop the shared strings (every text of the workbook).
TEST(DamagedRelationships, RemovingOneOfTwoWithTheSameIdKeepsTheOther) {
  Relationships links("xl/workbook.xml");
  links.load(
      R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
      R"(<Relationship Id="rId6" Type="http://x/relationships/sharedStrings" Target="sharedStrings.xml"/>)"
      R"(<Other Id="rId6"/>)"
      R"(<Relationship Id="rId6" Type="http://x/relationships/calcChain" Target="calcChain.xml"/>)"
      R"(</Relationships>)");
  const Relationship* chain = links.byTypeSuffix("calcChain");
  ASSERT_NE(chain, nullptr);
  links.remove(*chain);

  ASSERT_EQ(links.all().size(), 1u);
  EXPECT_EQ(links.all()[0].target, "sharedStrings.xml");
  const std::string saved = links.save();
  EXPECT_NE(saved.find("sharedStrings.xml"), std::string::npos);
  EXPECT_NE(saved.find("<Other"), std::string::npos);
  EXPECT_EQ(saved.find("calcChain"), std::string::npos);
}

}  // namespace
}  // namespace qx::engine
