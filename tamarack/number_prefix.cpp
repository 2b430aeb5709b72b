#include "tamarack/number_prefix.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace qx::tamarack {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The white space of the C locale.
bool isSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::size_t skipSpace(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  return i;
}

std::size_t skipDigits(std::string_view text, std::size_t i) {
  while (i < text.size() && isDigit(text[i])) ++i;
  return i;
}

}  // namespace

std::int32_t leadingInteger(std::string_view text) {
  std::size_t i = skipSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t end = skipDigits(text, i);
  std::int64_t magnitude = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < end && magnitude <= kLimit; ++i) magnitude = magnitude * 10 + (text[i] - '0');
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

double leadingReal(std::string_view text) {
  std::size_t i = skipSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t start = i;
  const std::size_t integerEnd = skipDigits(text, i);
  std::size_t end = integerEnd;
  if (end < text.size() && text[end] == '.') end = skipDigits(text, end + 1);
  const std::size_t mantissaDigits = end - start - (end > integerEnd ? 1 : 0);
  if (mantissaDigits == 0) return 0.0;  // no number in front (a lone "." or sign included)

  // An exponent counts only when at least one digit follows its letter and sign.
  std::size_t exponentEnd = end;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    std::size_t j = end + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && isDigit(text[j])) exponentEnd = skipDigits(text, j);
  }

  double value = 0.0;
  const char* first = text.data() + start;
  const char* last = text.data() + exponentEnd;
  const auto [stop, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    // Too large or too small for a double: decide which by the position of the leading
    // significant digit, as the decimal exponent of the whole number.
    long long exponent = 0;
    if (exponentEnd > end) {
      std::size_t j = end + 1;
      const bool negativeExponent = text[j] == '-';
      if (text[j] == '+' || text[j] == '-') ++j;
      constexpr long long kFar = 1'000'000'000'000LL;  // beyond any double, with room to add
      if (std::from_chars(text.data() + j, text.data() + exponentEnd, exponent).ec != std::errc{}) {
        exponent = kFar;
      }
      if (exponent > kFar) exponent = kFar;
      if (negativeExponent) exponent = -exponent;
    }
    std::size_t k = start;
    while (k < end && (text[k] == '0' || text[k] == '.')) ++k;
    const long long position = k < integerEnd ? static_cast<long long>(integerEnd - k)
                                              : -static_cast<long long>(k - integerEnd - 1);
    value = position + exponent > 0 ? HUGE_VAL : 0.0;
  }
  (void)stop;
  return negative ? -value : value;
}

}  // namespace qx::tamarack
