#include "report/number_text.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace qx::report {

std::string numberToText(double x, int decimals, std::size_t workArea) {
  static constexpr double kHalfSteps[] = {0.5, 0.05, 0.005, 0.0005, 0.00005};
  const int d = (decimals >= 0 && decimals <= 3) ? decimals : 4;
  x = x < 0 ? x - kHalfSteps[d] : x + kHalfSteps[d];

  // "%f" without the locale: a host that sets a decimal comma must not change the texts.
  char printed[400];
  const auto [end, error] =
      std::to_chars(printed, printed + sizeof printed, x, std::chars_format::fixed, 6);
  if (error != std::errc() || static_cast<std::size_t>(end - printed) + 1 > workArea) {
    throw std::out_of_range("number too large for its text");
  }
  std::string text(printed, end);

  const std::size_t point = text.find('.');
  if (point == std::string::npos) return text;  // inf or nan print without a point
  text.resize(std::min(text.size(), point + 1 + static_cast<std::size_t>(d)));
  if (d == 0) {
    text.pop_back();
    return text;
  }
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

}  // namespace qx::report
