#include "report/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <stdexcept>

#include "tamarack/run_policy.h"
#include "vellum/run_policy.h"

namespace qx::testing {

using namespace qx::report;

namespace {

// The work areas of the two exporters that print numbers.
constexpr std::size_t kGrouped = vellum::kRunPolicy.numberWorkArea;
constexpr std::size_t kPaged = tamarack::kRunPolicy.numberWorkArea;
static_assert(kGrouped == 80 && kPaged == 256);

TEST(NumberToText, RoundsHalfAwayFromZeroAndTrims) {
  struct Case {
    double x;
    int decimals;
    const char* text;
  };
  const Case cases[] = {
      {2.5, 0, "3"},           {-2.5, 0, "-3"},      {1.234, 2, "1.23"},
      {1.5, 2, "1.5"},         {2, 3, "2"},          {0.0004, 3, "0"},
      {-0.4, 0, "-0"},         {-0.001, 2, "-0"},    {1.23456, 7, "1.2346"},
      {1.23456, -1, "1.2346"}, {0, 0, "0"},          {12.5, 2, "12.5"},
      {3.0, 2, "3"},           {2.2345, 3, "2.235"}, {100, 1, "100"},
      {-12.345, 1, "-12.3"},   {0.05, 1, "0.1"},     {1e6, 0, "1000000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(numberToText(c.x, c.decimals, kGrouped), c.text) << c.x << " d=" << c.decimals;
  }
}

TEST(NumberToText, IgnoresTheHostsNumericLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
      std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  EXPECT_EQ(numberToText(2.2345, 3, kGrouped), "2.235");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumberToText, RefusesNumbersBeyondItsWorkArea) {
  EXPECT_THROW(numberToText(1e80, 2, kGrouped), std::out_of_range);
  EXPECT_EQ(numberToText(1e80, 0, kPaged).size(), 81u);
}

}  // namespace
}  // namespace qx::testing
