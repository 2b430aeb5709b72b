#include "engine/package/shared_formulas.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/engine/package_builder.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

TEST(SharedFormulas, MovesRelativeReferencesOnly) {
  struct Case {
    const char* formula;
    int rows, columns;
    const char* moved;
  } cases[] = {
      {"B1*2", 1, 0, "B2*2"},
      {"SUM(A1:B2)+$C$3", 2, 1, "SUM(B3:C4)+$C$3"},
      {"$A1+A$1", 1, 1, "$A2+B$1"},
      {"Sheet2!A1+'My Sheet'!B2", 1, 0, "Sheet2!A2+'My Sheet'!B3"},
      {"LOG10(A1)&\"A1\"", 1, 0, "LOG10(A2)&\"A1\""},
      {"SUM(A:A)+SUM(1:2)", 1, 1, "SUM(B:B)+SUM(2:3)"},
      {"Table1[Col1]*A1", 1, 0, "Table1[Col1]*A2"},
      {"A1-1.5E+3+TRUE", 3, 0, "A4-1.5E+3+TRUE"},
      {"A1", -1, 0, "#REF!"},
      {"XFD1+name_A1", 0, 1, "#REF!+name_A1"},
      {"'it''s'!C3", 0, 2, "'it''s'!E3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shiftFormula(c.formula, c.rows, c.columns), c.moved) << c.formula;
  }
}

TEST(SharedFormulas, WritingOverTheMasterWritesTheOthersOut) {
  auto sheet = std::make_unique<Worksheet>("xl/worksheets/sheet1.xml");
  sheet->load(
      minimalWorkbook(
          R"(<row r="1"><c r="A1"><f t="shared" ref="A1:A3" si="0">B1*2</f><v>2</v></c></row>)"
          R"(<row r="2"><c r="A2"><f t="shared" si="0"/><v>4</v></c></row>)"
          R"(<row r="3"><c r="A3"><f t="shared" si="0"/><v>6</v></c>)"
          R"(<c r="B3"><f t="shared" si="1"/></c></row>)")
          .at("xl/worksheets/sheet1.xml"));
  unshareFormulaAt(*sheet, 1, 1);
  const std::string xml = drained(sheet->saver());
  EXPECT_NE(xml.find(R"(<c r="A2"><f>B2*2</f><v>4</v></c>)"), std::string::npos) << xml;
  EXPECT_NE(xml.find(R"(<c r="A3"><f>B3*2</f><v>6</v></c>)"), std::string::npos) << xml;
  EXPECT_NE(xml.find(R"(<c r="B3"><f t="shared" si="1"/></c>)"), std::string::npos) << xml;
}

}  // namespace
}  // namespace qx::testing
