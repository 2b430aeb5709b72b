#include "tamarack/number_prefix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qx::testing {

using namespace qx::tamarack;

namespace {

TEST(LeadingInteger, TakesTheLongestNumberInFront) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  const Case cases[] = {
      {"12", 12},
      {"  12abc", 12},
      {"\t\n-7", -7},
      {"+5", 5},
      {"3.9", 3},
      {"1e3", 1},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"- 4", 0},
      {"0x1A", 0},
      {"007", 7},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"-99999999999999999999", std::numeric_limits<std::int32_t>::min()},
      {"\xCA\xC7 12", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(leadingInteger(c.text), c.value) << c.text;
}

TEST(LeadingReal, TakesSignDigitsPointAndExponent) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"1.2345", 1.2345}, {" 1.5e1x", 15.0}, {".5", 0.5},  {"5.", 5.0},     {"-0.25", -0.25},
      {"+2", 2.0},        {"1e", 1.0},       {"1e+", 1.0}, {"1E-2", 0.01},  {"2e3.5", 2000.0},
      {"abc", 0.0},       {".", 0.0},        {"-.", 0.0},  {"", 0.0},       {"inf", 0.0},
      {"nan", 0.0},       {"0x10", 0.0},     {"1,5", 1.0}, {"12 34", 12.0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(leadingReal(c.text), c.value) << c.text;
}

TEST(LeadingReal, OutOfRangeBecomesInfinityOrZero) {
  EXPECT_EQ(leadingReal("1e999"), HUGE_VAL);
  EXPECT_EQ(leadingReal("-1e999"), -HUGE_VAL);
  EXPECT_EQ(leadingReal(std::string(400, '9')), HUGE_VAL);
  EXPECT_EQ(leadingReal("1e-999"), 0.0);
  EXPECT_EQ(leadingReal("0.000001e-400"), 0.0);
  EXPECT_EQ(leadingReal("1e99999999999999999999999"), HUGE_VAL);
  EXPECT_EQ(leadingReal("1e-99999999999999999999999"), 0.0);
}

}  // namespace
}  // namespace qx::testing
