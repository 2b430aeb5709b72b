#include "engine/value_recognition.h"

#include <charconv>
#include <cmath>
#include <string>

namespace qx::engine {

namespace {
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// [sign] digits [. digits] [e|E [sign] digits], or [sign] . digits ...
bool isNumberSyntax(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const std::size_t exponentStart = i;
    while (i < s.size() && isDigit(s[i])) ++i;
    if (i == exponentStart) return false;
  }
  return i == s.size();
}

// Digits from the first to the last non-zero one of the mantissa: what a double must hold.
std::size_t significantDigits(std::string_view s) {
  std::string digits;
  for (const char c : s.substr(0, s.find_first_of("eE"))) {
    if (isDigit(c)) digits += c;
  }
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  return digits.find_last_not_of('0') - first + 1;
}
}  // namespace

RecognisedValue recogniseText(std::string_view text) {
  const std::string_view s = trimmed(text);
  if (s.empty()) return {};
  if (isNumberSyntax(s)) {
    if (significantDigits(s) > 15) return {};
    const std::string copy(s.front() == '+' ? s.substr(1) : s);
    double value = 0;
    const auto [end, error] = std::from_chars(copy.data(), copy.data() + copy.size(), value);
    if (error != std::errc() || end != copy.data() + copy.size() || !std::isfinite(value)) {
      return {};
    }
    return {RecognisedKind::Number, value};
  }
  // h:mm with any number of hour digits and two minute digits below 60.
  const std::size_t colon = s.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 9 || s.size() != colon + 3) {
    return {};
  }
  long hours = 0;
  for (std::size_t i = 0; i < colon; ++i) {
    if (!isDigit(s[i])) return {};
    hours = hours * 10 + (s[i] - '0');
  }
  if (!isDigit(s[colon + 1]) || !isDigit(s[colon + 2])) return {};
  const int minutes = (s[colon + 1] - '0') * 10 + (s[colon + 2] - '0');
  if (minutes >= 60) return {};
  const double days = (static_cast<double>(hours) * 60 + minutes) / 1440.0;
  return {hours >= 24 ? RecognisedKind::LongTime : RecognisedKind::Time, days};
}

}  // namespace qx::engine
