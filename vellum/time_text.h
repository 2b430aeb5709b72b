#pragma once
// Hours:minutes texts of the time column and of the totals.

#include <cstdint>
#include <optional>
#include <string>

namespace qx::platform {
class Messages;
}

namespace qx::vellum {

// The message of a refused hour split (a dividend smaller than its divisor).
inline constexpr const char* kHourSplitRefusedMessage = "ori_number < dou_number, err!";

// x truncated toward zero to 32 bits; values beyond the range saturate, NaN gives 0.
std::int32_t truncateToInt32(double x);

struct HourSplit {
  double whole;      // a / b, truncated
  double remainder;  // a - whole * b
};

// Splits a by b. A dividend smaller than the divisor shows kHourSplitRefusedMessage and gives
// nothing.
std::optional<HourSplit> splitHours(double a, double b, platform::Messages& messages);

// "0:05", "0:42", "1:00", "100:00" for a whole number of minutes; nothing, after the hour
// split's message, when the split refuses (it cannot for minutes of 60 or more): the run then
// stops before the save.
std::optional<std::string> minutesText(std::int32_t minutes, platform::Messages& messages);

// What the time column shows for one record and what it does to the running sum.
struct TimeCell {
  std::string text;
  bool resetsSum;  // the no-value sentinel empties the running sum
  std::int32_t addedMinutes;
};
// Nothing when the minutes text refuses.
std::optional<TimeCell> timeCell(double minutesValue, bool hoursAndMinutes,
                                 platform::Messages& messages);

}  // namespace qx::vellum
