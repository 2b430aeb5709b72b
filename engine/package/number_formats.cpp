#include "engine/package/number_formats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace qx::engine {

std::string_view builtinFormatCode(int id) {
  switch (id) {
    case 0:
      return "General";
    case 1:
      return "0";
    case 2:
      return "0.00";
    case 3:
      return "#,##0";
    case 4:
      return "#,##0.00";
    case 9:
      return "0%";
    case 10:
      return "0.00%";
    case 11:
      return "0.00E+00";
    case 12:
      return "# ?/?";
    case 13:
      return "# ?\?/??";
    case 14:
      return "mm-dd-yy";
    case 15:
      return "d-mmm-yy";
    case 16:
      return "d-mmm";
    case 17:
      return "mmm-yy";
    case 18:
      return "h:mm AM/PM";
    case 19:
      return "h:mm:ss AM/PM";
    case 20:
      return "h:mm";
    case 21:
      return "h:mm:ss";
    case 22:
      return "m/d/yy h:mm";
    case 37:
      return "#,##0 ;(#,##0)";
    case 38:
      return "#,##0 ;[Red](#,##0)";
    case 39:
      return "#,##0.00;(#,##0.00)";
    case 40:
      return "#,##0.00;[Red](#,##0.00)";
    case 45:
      return "mm:ss";
    case 46:
      return "[h]:mm:ss";
    case 47:
      return "mmss.0";
    case 48:
      return "##0.0E+0";
    case 49:
      return "@";
    default:
      return {};
  }
}

bool isTextFormat(std::string_view formatCode) {
  return formatCode == "@";
}

namespace {
std::string stripZeros(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string scientific(double magnitude) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.5E", magnitude);
  std::string text = buffer;  // 1.23457E+11
  const std::size_t e = text.find('E');
  std::string mantissa = stripZeros(text.substr(0, e));
  std::string exponent = text.substr(e + 1);  // +11, -05, +100
  const char sign = exponent[0];
  exponent.erase(0, 1);
  while (exponent.size() > 2 && exponent[0] == '0') exponent.erase(0, 1);
  return mantissa + "E" + sign + exponent;
}

std::string withThousands(const std::string& digits) {
  const std::size_t point = digits.find('.');
  const std::string whole = digits.substr(0, point);
  std::string out;
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) out += ',';
    out += whole[i];
  }
  return point == std::string::npos ? out : out + digits.substr(point);
}

// The 15 significant digits the application keeps of a number, and the power of ten of the
// first: 1234.5 gives "123450000000000" and 3.
struct Digits15 {
  char digits[16];
  int exponent;
};

Digits15 digits15(double magnitude) {
  char printed[32];
  std::snprintf(printed, sizeof printed, "%.14e", magnitude);  // d.dddddddddddddde+XX
  Digits15 out{};
  out.digits[0] = printed[0];
  std::memcpy(out.digits + 1, printed + 2, 14);
  std::from_chars(printed + 17 + (printed[17] == '+'), printed + std::strlen(printed),
                  out.exponent);
  return out;
}

// The first `keep` of the 15 digits, rounded half away from zero on the next one, and zeros
// after the 15th; one digit longer when the rounding carries ("9995" kept to 3 is "1000").
std::string roundedPrefix(const Digits15& d, int keep) {
  if (keep < 0) return {};
  std::string kept(d.digits, static_cast<std::size_t>(std::min(keep, 15)));
  if (keep > 15) kept.append(static_cast<std::size_t>(keep - 15), '0');
  if (keep < 15 && d.digits[keep] >= '5') {
    std::size_t i = kept.size();
    while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
    if (i == 0) {
      kept.insert(0, 1, '1');
    } else {
      ++kept[i - 1];
    }
  }
  return kept;
}

// The application rounds half away from zero on the 15 significant digits it keeps, so 2.5
// shows 3 and 1.005 shows 1.01, where printf would round the binary value half to even. A
// number shown with more than 15 digits shows the double's own digits.
std::string fixed(double magnitude, int decimals) {
  if (!(magnitude * std::pow(10.0, decimals) < 1e15)) {
    std::string text(std::snprintf(nullptr, 0, "%.*f", decimals, magnitude), '\0');
    std::snprintf(text.data(), text.size() + 1, "%.*f", decimals, magnitude);
    return text;
  }
  const Digits15 d = digits15(magnitude);
  // The value times 10^decimals, as a whole number.
  std::string text = roundedPrefix(d, d.exponent + 1 + decimals);
  const auto places = static_cast<std::size_t>(decimals);
  if (text.size() < places + 1) text.insert(0, places + 1 - text.size(), '0');
  if (places > 0) text.insert(text.size() - places, 1, '.');
  return text;
}

// The digits of a percentage too large for a double: such a value is a whole number, so a
// hundred times it is its digits and two zeros.
std::string hundredfold(double magnitude, int decimals) {
  std::string digits = fixed(magnitude, 0);
  digits.append("00");
  if (decimals > 0) digits.append(1, '.').append(static_cast<std::size_t>(decimals), '0');
  return digits;
}

// Scientific notation in a code such as "0.00E+00": `decimals` digits after the mantissa's
// point, at least `exponentDigits` exponent digits, a plus sign before a positive exponent
// when `plus`. Rounded half away from zero like the fixed formats.
std::string scientificIn(double value, int decimals, std::size_t exponentDigits, bool plus,
                         char letter) {
  const double magnitude = std::fabs(value);
  std::string mantissa;
  int exponent = 0;
  if (decimals < 15) {
    const Digits15 d = digits15(magnitude);
    const auto places = static_cast<std::size_t>(decimals);
    std::string kept = roundedPrefix(d, decimals + 1);
    exponent = d.exponent;
    if (kept.size() > places + 1) {  // 9.995 to two decimals is 10.00: 1.00 and one more
      kept.pop_back();
      ++exponent;
    }
    mantissa = kept.substr(0, 1);
    if (places > 0) mantissa.append(1, '.').append(kept, 1);
  } else {
    std::string text(std::snprintf(nullptr, 0, "%.*E", decimals, magnitude), '\0');
    std::snprintf(text.data(), text.size() + 1, "%.*E", decimals, magnitude);
    const std::size_t e = text.find('E');
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(),
                    exponent);
    mantissa = text.substr(0, e);
  }
  if (magnitude == 0) exponent = 0;
  std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
  if (digits.size() < exponentDigits) digits.insert(0, exponentDigits - digits.size(), '0');
  std::string out = value < 0 ? "-" : "";
  out.append(mantissa).append(1, letter);
  if (exponent < 0) {
    out += '-';
  } else if (plus) {
    out += '+';
  }
  return out + digits;
}

// "0.00E+00", "0E-0", "0.0e+00": fills the parts and returns true; false for any other code.
bool isScientificCode(std::string_view code, int& decimals, std::size_t& exponentDigits, bool& plus,
                      char& letter) {
  std::size_t i = 0;
  if (i >= code.size() || code[i] != '0') return false;
  ++i;
  decimals = 0;
  if (i < code.size() && code[i] == '.') {
    for (++i; i < code.size() && code[i] == '0'; ++i) ++decimals;
  }
  if (i + 1 >= code.size() || (code[i] != 'E' && code[i] != 'e') ||
      (code[i + 1] != '+' && code[i + 1] != '-')) {
    return false;
  }
  letter = code[i];
  plus = code[i + 1] == '+';
  const std::size_t start = i + 2;
  for (i = start; i < code.size() && code[i] == '0'; ++i) {
  }
  exponentDigits = i - start;
  return exponentDigits > 0 && i == code.size();
}

// What a cell shows for a value no number can be: a file may store "NaN" or "INF".
constexpr const char* kNotANumber = "#NUM!";

// The last moment a time or date can be, in days: the end of the year 9999.
constexpr double kLatestTime = 2958465.9999884;

// Hours, minutes and seconds of a time value in days, rounded to the second. Times before 0
// or after the last one show as a row of hashes.
std::string formatTime(double value, bool elapsedHours, bool seconds) {
  if (value < 0 || value > kLatestTime) return std::string(11, '#');
  const long long total = std::llround(value * 86400.0);
  long long hours = total / 3600;
  if (!elapsedHours) hours %= 24;
  char buffer[64];
  if (seconds) {
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", hours, (total / 60) % 60,
                  total % 60);
  } else {
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld", hours, (total / 60) % 60);
  }
  return buffer;
}
}  // namespace

bool showsNothing(double value, std::string_view formatCode) {
  // Sections end at semicolons outside quoted text and not escaped.
  std::string_view sections[4];
  std::size_t count = 0, start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < formatCode.size() && count < 3; ++i) {
    const char c = formatCode[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == '\\') {
      ++i;
    } else if (!quoted && c == ';') {
      sections[count++] = formatCode.substr(start, i - start);
      start = i + 1;
    }
  }
  if (count == 0) return false;  // one section: General or a code that shows something
  sections[count++] = formatCode.substr(std::min(start, formatCode.size()));
  std::size_t section = 0;
  if (value < 0) section = 1;
  if (value == 0 && count >= 3) section = 2;
  return sections[section].empty();
}

std::string formatGeneral(double value) {
  if (!std::isfinite(value)) return kNotANumber;
  if (value == 0) return "0";
  const std::string sign = value < 0 ? "-" : "";
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e11 || magnitude < 1e-9) return sign + scientific(magnitude);
  const int integerDigits =
      magnitude < 1 ? 1 : static_cast<int>(std::floor(std::log10(magnitude))) + 1;
  std::string text = stripZeros(fixed(magnitude, std::max(0, 10 - integerDigits)));
  if (text == "0") return sign + scientific(magnitude);
  if (text.size() > 11) return sign + scientific(magnitude);
  return sign + text;
}

std::string formatNumber(double value, std::string_view formatCode) {
  if (!std::isfinite(value)) return kNotANumber;
  const std::string_view code = formatCode.substr(0, formatCode.find(';'));
  if (code == "h:mm") return formatTime(value, false, false);
  if (code == "h:mm:ss") return formatTime(value, false, true);
  if (code == "[h]:mm") return formatTime(value, true, false);
  if (code == "[h]:mm:ss") return formatTime(value, true, true);

  int decimals = 0;
  std::size_t exponentDigits = 0;
  bool plus = false;
  char letter = 'E';
  if (isScientificCode(code, decimals, exponentDigits, plus, letter)) {
    return scientificIn(value, decimals, exponentDigits, plus, letter);
  }

  std::string_view body = code;
  const bool percent = !body.empty() && body.back() == '%';
  if (percent) body.remove_suffix(1);
  const bool thousands = body.starts_with("#,##");
  if (thousands) body.remove_prefix(4);
  if (body.empty() || body.front() != '0') return formatGeneral(value);
  std::size_t i = 0;
  while (i < body.size() && body[i] == '0') ++i;
  decimals = 0;
  if (i < body.size() && body[i] == '.') {
    ++i;
    while (i < body.size() && body[i] == '0') ++i, ++decimals;
  }
  if (i != body.size()) return formatGeneral(value);

  const double shown = percent ? value * 100 : value;
  std::string digits = std::isfinite(shown) ? fixed(std::fabs(shown), decimals)
                                            : hundredfold(std::fabs(value), decimals);
  if (thousands) digits = withThousands(digits);
  const bool negative = shown < 0 && digits.find_first_not_of("0.,") != std::string::npos;
  return (negative ? "-" : "") + digits + (percent ? "%" : "");
}

}  // namespace qx::engine
