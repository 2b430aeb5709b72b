#include "vellum/time_text.h"

#include <cmath>
#include <limits>
#include <utility>

#include "platform/messages.h"
#include "vellum/group_table_row.h"

namespace qx::vellum {

std::int32_t truncateToInt32(double x) {
  if (std::isnan(x)) return 0;
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  if (x <= static_cast<double>(kMin)) return kMin;
  if (x >= static_cast<double>(kMax)) return kMax;
  return static_cast<std::int32_t>(x);
}

std::optional<HourSplit> splitHours(double a, double b, platform::Messages& messages) {
  if (a < b) {
    messages.show(kHourSplitRefusedMessage, platform::Buttons::Ok);
    return std::nullopt;
  }
  if (a == b) return HourSplit{1, 0};
  const double whole = std::trunc(a / b);
  return HourSplit{whole, a - whole * b};
}

std::optional<std::string> minutesText(std::int32_t minutes, platform::Messages& messages) {
  if (minutes < 10) return platform::format("0:0%d", minutes);
  if (minutes < 60) return platform::format("0:%d", minutes);
  const std::optional<HourSplit> split = splitHours(minutes, 60, messages);
  if (!split) return std::nullopt;
  const std::int32_t hours = truncateToInt32(split->whole);
  const std::int32_t rest = truncateToInt32(split->remainder);
  return platform::format(rest < 10 ? "%d:0%d" : "%d:%d", hours, rest);
}

std::optional<TimeCell> timeCell(double minutesValue, bool hoursAndMinutes,
                                 platform::Messages& messages) {
  if (minutesValue == kNoValue) return TimeCell{"-", true, 0};
  if (minutesValue >= 0 && minutesValue < 1) {
    return TimeCell{hoursAndMinutes ? "0:01" : "1", false, 1};
  }
  // A started minute counts unless it is less than 0.05 of a minute.
  const std::int32_t minutes = truncateToInt32(minutesValue + 0.95);
  if (!hoursAndMinutes) return TimeCell{platform::format("%d", minutes), false, minutes};
  std::optional<std::string> text = minutesText(minutes, messages);
  if (!text) return std::nullopt;
  return TimeCell{std::move(*text), false, minutes};
}

}  // namespace qx::vellum
