#include "engine/package/number_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace qx::testing {

using namespace qx::engine;

namespace {

TEST(NumberFormats, ShowsNumbersAsTheApplicationDoesInAWideColumn) {
  struct Case {
    double value;
    const char* format;
    const char* shown;
  } cases[] = {
      {0, "General", "0"},
      {12, "General", "12"},
      {-1500, "General", "-1500"},
      {0.25, "General", "0.25"},
      {1.0 / 3, "General", "0.333333333"},
      {2.0 / 3, "General", "0.666666667"},
      {123456.789, "General", "123456.789"},
      {12345678901, "General", "12345678901"},
      {123456789012, "General", "1.23457E+11"},
      {1e-12, "General", "1E-12"},
      {3, "0", "3"},
      {2.5, "0", "3"},
      {3, "0.00", "3.00"},
      {-1.005, "0.00", "-1.01"},
      {0.125, "0.00", "0.13"},
      {-0.001, "0.00", "0.00"},
      {1234567.891, "#,##0", "1,234,568"},
      {1234.5, "#,##0.00", "1,234.50"},
      {0.125, "0%", "13%"},
      {0.125, "0.00%", "12.50%"},
      {70.0 / 1440, "h:mm", "1:10"},
      {100.0 / 24, "[h]:mm", "100:00"},
      {100.0 / 24, "h:mm", "4:00"},
      {1.5 / 24, "h:mm:ss", "1:30:00"},
      {25.0 / 24, "[h]:mm:ss", "25:00:00"},
      {1000, "0.00E+00", "1.00E+03"},
      {-0.025, "0.00E+00", "-2.50E-02"},
      {0, "0.00E+00", "0.00E+00"},
      {1005, "0.00E+00", "1.01E+03"},
      {999.5, "0.00E+00", "1.00E+03"},
      {1e100, "0.00E+00", "1.00E+100"},
      {5e-324, "0.00E+00", "4.94E-324"},
      {123456, "0.0E+0", "1.2E+5"},
      {1000, "0.00E-00", "1.00E03"},
      {0.00123, "0.00E-00", "1.23E-03"},
      {1000, "0.00e+00", "1.00e+03"},
      {-1234.5, "#,##0", "-1,235"},
      // Rounded on the 15 digits a number keeps, the last of them included.
      {999999999999999, "0", "999999999999999"},
      {999999999999999, "#,##0", "999,999,999,999,999"},
      {9999999999999.5, "#,##0", "10,000,000,000,000"},
      {9.995, "0.00E+00", "1.00E+01"},
      {0.0005, "0.000", "0.001"},
      {0.00049999999999, "0.000", "0.000"},
      // Beyond 15 digits nothing is rounded: the digits are the double's own.
      {2e15, "0", "2000000000000000"},
      {2e13, "0%", "2000000000000000%"},
      {0.125, "0.00000000000000000000", "0.12500000000000000000"},
      {1e300, "0.0000000000000000E+00", "1.0000000000000001E+300"},
      {42, "@", "42"},
      {42, "yyyy-mm-dd", "42"},  // other formats: shown as General
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatNumber(c.value, c.format), c.shown) << c.value << " in " << c.format;
  }
}

TEST(NumberFormats, ShowNothingWhereTheValuesSectionIsEmpty) {
  struct Case {
    double value;
    const char* format;
    bool nothing;
  } cases[] = {
      {5, ";;;", true},          {0, ";;;", true},         {-5, ";;;", true},
      {0, "0;-0;;@", true},      {5, "0;-0;;@", false},    {-5, "0;-0;;@", false},
      {-5, "0;", true},          {0, "0;", false},         {5, ";0", true},
      {0, "General", false},     {0, "", false},           {0, R"("a;b";0;)", true},
      {0, R"(0;-0\;;x)", false}, {0, R"(0\;0;-0;)", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(showsNothing(c.value, c.format), c.nothing) << c.value << " in " << c.format;
  }
}

TEST(NumberFormats, KnowsTheBuiltInCodes) {
  EXPECT_EQ(builtinFormatCode(0), "General");
  EXPECT_EQ(builtinFormatCode(2), "0.00");
  EXPECT_EQ(builtinFormatCode(20), "h:mm");
  EXPECT_EQ(builtinFormatCode(49), "@");
  EXPECT_EQ(builtinFormatCode(164), "");
  EXPECT_TRUE(isTextFormat("@"));
  EXPECT_FALSE(isTextFormat("General"));
}

// Numbers at the edges of what a double holds, as a damaged or hostile workbook can store them.
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kLargest = std::numeric_limits<double>::max();

TEST(NumberFormatsAtTheEdges, ValuesNoNumberCanBeShowAsNumError) {
  for (const double value : {std::nan(""), kInfinity, -kInfinity}) {
    for (const char* code :
         {"General", "0", "0.00", "#,##0", "0%", "0.00E+00", "h:mm", "[h]:mm:ss", "@"}) {
      EXPECT_EQ(formatNumber(value, code), "#NUM!") << value << ' ' << code;
    }
    EXPECT_EQ(formatGeneral(value), "#NUM!") << value;
  }
}

TEST(NumberFormatsAtTheEdges, TheLargestNumbersKeepAllTheirDigits) {
  const std::string largest = formatNumber(-kLargest, "0");
  EXPECT_EQ(largest.substr(0, 18), "-17976931348623157");
  EXPECT_EQ(largest.size(), 310u);

  const std::string manyDecimals = formatNumber(1e300, "0." + std::string(200, '0'));
  EXPECT_EQ(manyDecimals.size(), 301u + 1 + 200);
  EXPECT_EQ(manyDecimals.substr(301), "." + std::string(200, '0'));

  // A hundred times the value is no double; the digits are still the value's and two zeros.
  const std::string percent = formatNumber(-kLargest / 10, "0.0%");
  EXPECT_EQ(percent.substr(0, 17), "-1797693134862315");
  EXPECT_EQ(percent.substr(percent.size() - 5), "00.0%");
  EXPECT_EQ(percent.size(), 1 + 308 + 2 + 2 + 1u);  // sign, digits, two zeros, ".0", "%"
}

TEST(NumberFormatsAtTheEdges, TimesAfterTheYear9999ShowHashes) {
  struct Case {
    double value;
    const char* code;
    const char* shown;
  } cases[] = {
      {2958465.5, "[h]:mm", "71003172:00"}, {2958466, "[h]:mm", "###########"},
      {1e300, "[h]:mm:ss", "###########"},  {1e300, "h:mm", "###########"},
      {-1.0 / 1440, "h:mm", "###########"},
  };
  for (const Case& c : cases) EXPECT_EQ(formatNumber(c.value, c.code), c.shown) << c.value;
}

}  // namespace
}  // namespace qx::testing
