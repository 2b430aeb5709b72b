// The hour split and the minutes text on their own; the time column is checked through the
// run in body_rows_test.cpp.

#include "vellum/time_text.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/support/captured_messages.h"

namespace qx::testing {

using namespace qx::vellum;

namespace {

TEST(HourSplit, EqualDividendAndDivisorTakeTheEqualityBranch) {
  CapturedMessages messages;
  const auto split = splitHours(60, 60, messages);
  ASSERT_TRUE(split);
  EXPECT_EQ(split->whole, 1);
  EXPECT_EQ(split->remainder, 0);
  const auto more = splitHours(6001, 60, messages);
  ASSERT_TRUE(more);
  EXPECT_EQ(more->whole, 100);
  EXPECT_EQ(more->remainder, 1);
  EXPECT_TRUE(messages.shown.empty());
}

TEST(HourSplit, ASmallerDividendIsRefusedWithItsMessage) {
  CapturedMessages messages;
  EXPECT_FALSE(splitHours(59, 60, messages));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "ori_number < dou_number, err!");
  EXPECT_EQ(messages.shown[0].buttons, platform::Buttons::Ok);
}

TEST(MinutesText, Forms) {
  CapturedMessages messages;
  EXPECT_EQ(minutesText(0, messages), "0:00");
  EXPECT_EQ(minutesText(9, messages), "0:09");
  EXPECT_EQ(minutesText(10, messages), "0:10");
  EXPECT_EQ(minutesText(59, messages), "0:59");
  EXPECT_EQ(minutesText(60, messages), "1:00");
  EXPECT_EQ(minutesText(610, messages), "10:10");
  EXPECT_EQ(minutesText(-5, messages), "0:0-5");  // negative durations are not mended
  EXPECT_TRUE(messages.shown.empty());
}

TEST(TruncateToInt32, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(truncateToInt32(-2.9), -2);
  EXPECT_EQ(truncateToInt32(1e300), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(truncateToInt32(-1e300), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(truncateToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace qx::testing
