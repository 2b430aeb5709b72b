#include "engine/package/value_recognition.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <memory>

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

// A number's characters without its separators, as from_chars reads them: on the stack unless
// the text is long. Counts the significant digits (from the first to the last non-zero one of
// the mantissa: what a double must hold) as they come.
class NumberText {
 public:
  explicit NumberText(std::size_t capacity) {
    if (capacity > sizeof local_) {
      heap_ = std::make_unique<char[]>(capacity);
      at_ = heap_.get();
    }
  }
  void push(char c) { at_[size_++] = c; }
  void pushDigit(char c) {
    if (c != '0') {
      if (firstSignificant_ < 0) firstSignificant_ = mantissaDigits_;
      lastSignificant_ = mantissaDigits_;
    }
    ++mantissaDigits_;
    push(c);
  }
  std::size_t significantDigits() const {
    return firstSignificant_ < 0
               ? 0
               : static_cast<std::size_t>(lastSignificant_ - firstSignificant_ + 1);
  }
  const char* begin() const { return at_; }
  const char* end() const { return at_ + size_; }

 private:
  char local_[64];
  std::unique_ptr<char[]> heap_;
  char* at_ = local_;
  std::size_t size_ = 0;
  long mantissaDigits_ = 0, firstSignificant_ = -1, lastSignificant_ = -1;
};

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
  NumberText text(s.size() + 3);  // and "e-2" for a percentage
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (parenthesised) return false;
    if (s[i] == '-') text.push('-');
    ++i;
  }
  std::size_t digits = 0, groupDigits = 0;
  bool grouped = false;
  for (; i < s.size(); ++i) {
    if (isDigit(s[i])) {
      text.pushDigit(s[i]);
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
    text.push('.');
    for (++i; i < s.size() && isDigit(s[i]); ++i) {
      text.pushDigit(s[i]);
      ++digits;
      decimals = true;
    }
  }
  if (digits == 0 || text.significantDigits() > 15) return false;
  const bool exponent = i < s.size() && (s[i] == 'e' || s[i] == 'E');
  if (exponent) {
    if (grouped || percent) return false;
    text.push('e');
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) text.push(s[i++]);
    const std::size_t exponentStart = i;
    for (; i < s.size() && isDigit(s[i]); ++i) text.push(s[i]);
    if (i == exponentStart) return false;
  }
  if (i != s.size()) return false;
  // A percentage is read as the number a hundred times smaller, rounded once.
  if (percent) {
    text.push('e');
    text.push('-');
    text.push('2');
  }
  double number = 0;
  const auto [stop, error] = std::from_chars(text.begin(), text.end(), number);
  if (error != std::errc() || stop != text.end() || !std::isfinite(number)) return false;
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
