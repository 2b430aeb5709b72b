// Workbook parts that are damaged in ways a reader meets: each opens, or fails with an
// EngineError that says what is wrong, and never with any other error.

#include "engine/package/workbook.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/package/cell_values.h"
#include "engine/save/engine_error.h"
#include "tests/engine/package_builder.h"
#include "tests/support/temp_dir.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

std::string workbookPart(const std::string& sheets) {
  return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
         R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")"
         R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
         "<sheets>" +
         sheets + "</sheets></workbook>";
}

TEST(DamagedWorkbookPart, ASheetWithoutANameOpensWithAnEmptyName) {
  TempDir dir;
  Parts parts = minimalWorkbook();
  parts["xl/workbook.xml"] = workbookPart(
      R"(<sheet sheetId="1" r:id="rId1"/><sheet name="Two" sheetId="2" r:id="rId2"/>)");
  const auto file = dir.path() / "book.xlsx";
  writePackage(file, parts);

  Workbook workbook(file.string());
  ASSERT_EQ(workbook.sheets().size(), 2u);
  EXPECT_EQ(workbook.sheets()[0].name, "");
  EXPECT_EQ(workbook.sheets()[1].name, "Two");
}

TEST(DamagedWorkbookPart, ASheetWithoutARelationshipIsAnEngineError) {
  TempDir dir;
  Parts parts = minimalWorkbook();
  parts["xl/workbook.xml"] = workbookPart(R"(<sheet sheetId="1"/>)");
  const auto file = dir.path() / "book.xlsx";
  writePackage(file, parts);
  EXPECT_THROW(Workbook(file.string()), EngineError);
}

// A damaged relationships part that calls the sheet a calculation chain: overwriting a formula
// drops the calculation chain when saving, which must not drop the sheet.
TEST(DamagedRelationships, ACalculationChainThatIsTheSheetIsKept) {
  TempDir dir;
  Parts parts = minimalWorkbook(R"(<row r="1"><c r="A1"><f>1+1</f><v>2</v></c></row>)");
  std::string& links = parts["xl/_rels/workbook.xml.rels"];
  links.insert(links.rfind("</Relationships>"),
               R"(<Relationship Id="rId9" Type="http://x/relationships/calcChain")"
               R"( Target="worksheets/sheet1.xml"/>)");
  const auto file = dir.path() / "book.xlsx";
  writePackage(file, parts);
  {
    Workbook workbook(file.string());
    putCellValue(workbook, workbook.worksheet(0), 1, 1, CellInput::ofText("kept"));
    workbook.save();
  }
  Workbook again(file.string());
  EXPECT_EQ(cellText(again, again.worksheet(0), 1, 1), "kept");
}

}  // namespace
}  // namespace qx::testing
