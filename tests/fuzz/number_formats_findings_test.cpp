// Numbers at the edges of what a double holds, as a damaged or hostile workbook can store them.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "engine/number_formats.h"

namespace qx::engine {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kLargest = std::numeric_limits<double>::max();

TEST(NumberFormatsAtTheEdges, ValuesNoNumberCanBeShowAsNumError) {
  for (const double value : {std::nan(""), kInfinity, -kInfinity}) {
    for (const char* code : {"General", "0", "0.00", "#,##0", "0%", "h:mm", "[h]:mm:ss", "@"}) {
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
}  // namespace qx::engine
