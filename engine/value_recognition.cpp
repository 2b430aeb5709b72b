#include "engine/value_recognition.h"

#include <charconv>
#include <cmath>
#include <iterator>
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

bool equalsIgnoringCase(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 32) : text[i];
    if (c != upper[i]) return false;
  }
  return true;
}

// Digits from the first to the last non-zero one: what a double must hold.
std::size_t significantDigits(std::string_view digits) {
  const std::size_t first = digits.find_first_not_of("0.-");
  if (first == std::string_view::npos) return 0;
  std::size_t count = 0;
  const std::size_t last = digits.find_last_not_of("0.");
  for (std::size_t i = first; i <= last; ++i) count += isDigit(digits[i]) ? 1 : 0;
  return count;
}

// A number as the application reads it, without the surrounding spaces:
//   [sign] digits [. digits] [e|E [sign] digits]     "12", "-3.5", ".5", "1e3"
//   [sign] d{1,3} (, ddd)+ [. digits]                "1,234", "-1,234,567.25"
//   either form without an exponent, then %          "50%", "1,234.5%"
//   ( either form without a sign or % )              "(5)" is -5, "(1,234)" -1234
// Fills `value` and returns true when `s` is one.
bool recogniseNumber(std::string_view s, RecognisedValue& value) {
  const bool parenthesised = s.size() >= 2 && s.front() == '(' && s.back() == ')';
  if (parenthesised) s = s.substr(1, s.size() - 2);
  const bool percent = !s.empty() && s.back() == '%';
  if (percent) s.remove_suffix(1);
  if (parenthesised && percent) return false;
  std::string mantissa;  // the digits without separators, for from_chars
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (parenthesised) return false;
    if (s[i] == '-') mantissa += '-';
    ++i;
  }
  std::size_t digits = 0, groupDigits = 0;
  bool grouped = false;
  for (; i < s.size(); ++i) {
    if (isDigit(s[i])) {
      mantissa += s[i];
      ++digits, ++groupDigits;
    } else if (s[i] == ',') {
      // The first group holds one to three digits, every later one exactly three.
      if (groupDigits == 0 || groupDigits > 3 || (grouped && groupDigits != 3)) return false;
      grouped = true;
      groupDigits = 0;
    } else {
      break;
    }
  }
  if (grouped && groupDigits != 3) return false;
  bool decimals = false;
  if (i < s.size() && s[i] == '.') {
    mantissa += '.';
    for (++i; i < s.size() && isDigit(s[i]); ++i) {
      mantissa += s[i];
      ++digits;
      decimals = true;
    }
  }
  if (digits == 0) return false;
  if (significantDigits(mantissa) > 15) return false;
  const bool exponent = i < s.size() && (s[i] == 'e' || s[i] == 'E');
  if (exponent) {
    if (grouped || percent) return false;
    mantissa += 'e';
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) mantissa += s[i++];
    const std::size_t exponentStart = i;
    for (; i < s.size() && isDigit(s[i]); ++i) mantissa += s[i];
    if (i == exponentStart) return false;
  }
  if (i != s.size()) return false;
  // A percentage is read as the number a hundred times smaller, rounded once.
  if (percent) mantissa += "e-2";
  double number = 0;
  const char* end = mantissa.data() + mantissa.size();
  const auto [stop, error] = std::from_chars(mantissa.data(), end, number);
  if (error != std::errc() || stop != end || !std::isfinite(number)) return false;
  value.kind = RecognisedKind::Number;
  value.number = parenthesised ? -number : number;
  if (exponent) {
    value.format = "0.00E+00";
  } else if (percent) {
    value.format = decimals ? "0.00%" : "0%";
  } else if (grouped) {
    value.format = decimals ? "#,##0.00" : "#,##0";
  }
  return true;
}

// Two digits below 60 at `s[at]`; -1 otherwise.
int sixtieth(std::string_view s, std::size_t at) {
  if (at + 2 > s.size() || !isDigit(s[at]) || !isDigit(s[at + 1])) return -1;
  const int value = (s[at] - '0') * 10 + (s[at + 1] - '0');
  return value < 60 ? value : -1;
}

// h:mm or h:mm:ss with any number of hour digits (up to nine) and minutes and seconds below 60.
bool recogniseTime(std::string_view s, RecognisedValue& value) {
  const std::size_t colon = s.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 9) return false;
  const bool seconds = s.size() == colon + 6;
  if (s.size() != colon + 3 && !(seconds && s[colon + 3] == ':')) return false;
  long hours = 0;
  for (std::size_t i = 0; i < colon; ++i) {
    if (!isDigit(s[i])) return false;
    hours = hours * 10 + (s[i] - '0');
  }
  const int minutes = sixtieth(s, colon + 1);
  const int second = seconds ? sixtieth(s, colon + 4) : 0;
  if (minutes < 0 || second < 0) return false;
  const bool elapsed = hours >= 24;
  value.kind = elapsed ? RecognisedKind::LongTime : RecognisedKind::Time;
  value.number = ((static_cast<double>(hours) * 60 + minutes) * 60 + second) / 86400.0;
  if (seconds) {
    value.format = elapsed ? "[h]:mm:ss" : "h:mm:ss";
  } else {
    value.format = elapsed ? "[h]:mm" : "h:mm";
  }
  return true;
}
}  // namespace

RecognisedValue recogniseText(std::string_view text) {
  RecognisedValue value;
  if (!text.empty() && text.front() == '\'') {
    value.kind = RecognisedKind::QuotedText;
    value.text = text.substr(1);
    return value;
  }
  const std::string_view s = trimmed(text);
  if (s.empty()) return value;
  if (isDigit(s.front()) || s.front() == '-' || s.front() == '+' || s.front() == '.' ||
      s.front() == '(') {
    if (recogniseNumber(s, value) || recogniseTime(s, value)) return value;
    return {};
  }
  if (equalsIgnoringCase(s, "TRUE") || equalsIgnoringCase(s, "FALSE")) {
    value.kind = RecognisedKind::Boolean;
    value.number = s.size() == 4 ? 1 : 0;
  } else if (s.front() == '#') {
    for (std::size_t i = 0; i < std::size(kErrorLiterals); ++i) {
      if (equalsIgnoringCase(s, kErrorLiterals[i])) {
        value.kind = RecognisedKind::Error;
        value.number = static_cast<double>(i);
        value.text = kErrorLiterals[i];
      }
    }
  }
  return value;
}

}  // namespace qx::engine
