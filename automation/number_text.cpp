#include "automation/number_text.h"

#include <cstdio>
#include <stdexcept>

namespace qx::automation {

std::string numberToText(double x, int decimals, std::size_t workArea) {
  static constexpr double kHalfSteps[] = {0.5, 0.05, 0.005, 0.0005, 0.00005};
  const int d = (decimals >= 0 && decimals <= 3) ? decimals : 4;
  x = x < 0 ? x - kHalfSteps[d] : x + kHalfSteps[d];

  const int length = std::snprintf(nullptr, 0, "%f", x);
  if (length < 0 || static_cast<std::size_t>(length) + 1 > workArea) {
    throw std::out_of_range("number too large for its text");
  }
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), "%f", x);
  text.resize(static_cast<std::size_t>(length));

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

}  // namespace qx::automation
