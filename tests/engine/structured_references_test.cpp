// Structured references in formulas: which columns a formula names, and how a renamed column's
// references are written, the way the application writes them.

#include <gtest/gtest.h>

#include "engine/package/structured_references.h"

namespace qx::testing {

using namespace qx::engine;

namespace {

TEST(StructuredReferences, FindTheColumnsTheyNameIgnoringCase) {
  const struct {
    const char* formula;
    const char* column;
    bool named;
  } cases[] = {
      {"SUM(Table1[Amount])", "amount", true},
      {"SUM(TABLE1[Amount])", "Amount", true},
      {"Table1[[#This Row],[Amount]]*2", "Amount", true},
      {"SUM(Table1[[Cost]:[Amount]])", "Amount", true},
      {"SUM(Table1[ [Cost]:[Amount] ])", "Cost", true},
      {"SUM(Table1[Amount Due])", "Amount Due", true},
      {"Table1['#Items]", "#Items", true},
      {"Table1['[x']]", "[x]", true},
      {"Table1[#Totals]", "#Totals", false},
      {"SUM(Table12[Amount])", "Amount", false},   // another table
      {"SUM(MyTable1[Amount])", "Amount", false},  // a longer name that ends alike
      {"\"Table1[Amount]\"&A1", "Amount", false},  // a text, not a reference
      {"'Table1[Amount]'!A1", "Amount", false},    // a sheet name in quotes
      {"SUM(Table1[Amounts])", "Amount", false},
      {"Table1[Таблица]", "таблица", true},  // Cyrillic, folded
      {"Table1[Ärger]", "ärger", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(refersToColumn(c.formula, "Table1", c.column), c.named) << c.formula;
  }
}

TEST(StructuredReferences, RenamedColumnsAreWrittenAsTheirNamesNeed) {
  const struct {
    const char* formula;
    const char* to;
    const char* rewritten;
  } cases[] = {
      {"SUM(Table1[Amount])+1", "Total", "SUM(Table1[Total])+1"},
      {"SUM(Table1[amount])", "Total Due", "SUM(Table1[Total Due])"},  // a space needs nothing
      {"SUM(Table1[Amount])", "Q-1", "SUM(Table1[[Q-1]])"},            // a minus needs brackets
      {"Table1[[#This Row],[Amount]]", "Q-1", "Table1[[#This Row],[Q-1]]"},
      {"Table1[[Amount]:[Cost]]", "#1", "Table1[['#1]:[Cost]]"},
      {"Table1[Amount]&Table1[Amount]", "it's", "Table1[[it''s]]&Table1[[it''s]]"},
      {"SUM(Other[Amount])", "Total", "SUM(Other[Amount])"},
  };
  for (const auto& c : cases) {
    std::string formula = c.formula;
    const bool changed = renameColumnReferences(formula, "Table1", "Amount", c.to);
    EXPECT_EQ(formula, c.rewritten) << c.formula;
    EXPECT_EQ(changed, formula != c.formula) << c.formula;
  }
}

TEST(StructuredReferences, NamesFoldAcrossScripts) {
  EXPECT_EQ(foldedName("ÀÉÎ Ωmega ŁÓDŹ ДАННЫЕ Ё ＡＢ"), "àéî ωmega łódź данные ё ａｂ");
  EXPECT_EQ(foldedName("数据"), "数据");
}

}  // namespace
}  // namespace qx::testing
