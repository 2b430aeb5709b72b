// Fuzz target for how texts become values and how numbers are shown. The first byte chooses:
// even, the rest is a text put into a cell; odd, eight bytes are a double and the rest a number
// format code. A recognised number shown in the format it brings (General, grouped, percent,
// scientific) reads back as that number to the format's precision and with the same format; a
// recognised time shown in its format is the text it came from; booleans, error values and
// apostrophe texts read back as themselves; a number shown in a fixed-decimal or scientific
// format reads back as the number rounded to those digits.

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/package/number_formats.h"
#include "engine/package/value_recognition.h"
#include "platform/byte_fields.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using qx::engine::formatGeneral;
using qx::engine::formatNumber;
using qx::engine::RecognisedKind;
using qx::engine::RecognisedValue;
using qx::engine::recogniseText;

bool readNumber(std::string_view text, double& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// "0012:05" -> "12:05", "00:05:09" -> "0:05:09".
std::string canonicalTime(std::string_view text) {
  text = trimmed(text);
  while (text.find(':') > 1 && text.front() == '0') text.remove_prefix(1);
  return std::string(text);
}

// How far a number shown in `format` may lie from the value: half a unit of its last digit.
double precisionOf(std::string_view format, double value) {
  if (format == "#,##0") return 0.5;
  if (format == "#,##0.00") return 0.005;
  if (format == "0%") return 0.005;
  if (format == "0.00%") return 0.00005;
  if (format == "0.00E+00") return std::fabs(value) * 0.005;
  return std::max(std::fabs(value) * 1e-5, 1e-9);  // General: at most 11 characters
}

// What a number is multiplied by to make its shown digits a whole number; 0 where at most 11
// or 3 digits are shown (General, scientific).
double digitsScale(std::string_view format) {
  if (format == "#,##0") return 1;
  if (format == "#,##0.00" || format == "0%") return 100;
  if (format == "0.00%") return 1e4;
  return 0;
}

void checkNumber(const RecognisedValue& value) {
  QX_FUZZ_CHECK(std::isfinite(value.number), "a number that is no finite double");
  // Shown with more than 15 digits a number shows a double's digits, which no text of 15
  // digits reads back: the whole number of the shown digits is below 10^15 for the others.
  if (std::fabs(value.number) * digitsScale(value.format) >= 1e15) return;
  const std::string shown =
      value.format.empty() ? formatGeneral(value.number) : formatNumber(value.number, value.format);
  const RecognisedValue again = recogniseText(shown);
  QX_FUZZ_CHECK(again.kind == RecognisedKind::Number, "a number shows as no number");
  const double error = std::fabs(again.number - value.number);
  QX_FUZZ_CHECK(
      error <= precisionOf(value.format, value.number) * 1.001 + std::fabs(value.number) * 1e-14,
      "a number shows as another number");
  // Grouping shows only from a thousand on; the other formats read back as themselves.
  const bool grouped = value.format.starts_with("#,##");
  QX_FUZZ_CHECK(again.format == value.format || (grouped && again.format.empty()) ||
                    (value.format.empty() && again.format == "0.00E+00"),
                "a number shows in a format that reads back as another");
}

void checkText(std::string_view text) {
  const RecognisedValue value = recogniseText(text);
  switch (value.kind) {
    case RecognisedKind::Text:
      return;
    case RecognisedKind::Number:
      checkNumber(value);
      return;
    case RecognisedKind::Time:
    case RecognisedKind::LongTime: {
      QX_FUZZ_CHECK(value.number >= 0 && std::isfinite(value.number), "a time out of range");
      const bool elapsed = value.kind == RecognisedKind::LongTime;
      QX_FUZZ_CHECK(elapsed == (value.number >= 1), "a time of a day or more is not long");
      QX_FUZZ_CHECK(value.format.starts_with("[h]") == elapsed, "a time in the wrong format");
      const std::string shown = formatNumber(value.number, value.format);
      // Past the end of the year 9999 no time can be shown.
      const bool showable = value.number < 2958465;
      QX_FUZZ_CHECK(showable ? shown == canonicalTime(text)
                             : shown.find_first_not_of('#') == std::string::npos,
                    "a time shows another time");
      return;
    }
    case RecognisedKind::Boolean: {
      const RecognisedValue again = recogniseText(value.number != 0 ? "TRUE" : "FALSE");
      QX_FUZZ_CHECK(again.kind == RecognisedKind::Boolean && again.number == value.number &&
                        trimmed(text).size() == (value.number != 0 ? 4u : 5u),
                    "a boolean shows as another value");
      return;
    }
    case RecognisedKind::Error: {
      const RecognisedValue again = recogniseText(value.text);
      QX_FUZZ_CHECK(again.kind == RecognisedKind::Error && again.text == value.text &&
                        trimmed(text).size() == value.text.size() && value.text.front() == '#',
                    "an error value shows as another value");
      return;
    }
    case RecognisedKind::QuotedText:
      QX_FUZZ_CHECK(text.front() == '\'' && value.text == text.substr(1),
                    "an apostrophe text is not the rest of the text");
      return;
  }
}

// "0", "0.00", "#,##0.0", "0%": the decimals, or -1 for any other code.
int fixedDecimals(std::string_view code, bool& percent) {
  percent = !code.empty() && code.back() == '%';
  if (percent) code.remove_suffix(1);
  if (code.starts_with("#,##")) code.remove_prefix(4);
  if (code.empty() || code.front() != '0') return -1;
  std::size_t i = 0;
  while (i < code.size() && code[i] == '0') ++i;
  int decimals = 0;
  if (i < code.size() && code[i] == '.') {
    ++i;
    while (i < code.size() && code[i] == '0') ++i, ++decimals;
  }
  return i == code.size() ? decimals : -1;
}

// "12:05", "1:02:03", or hashes for a time that cannot be shown.
bool isTimeText(std::string_view shown, bool seconds) {
  if (!shown.empty() && shown.find_first_not_of('#') == std::string_view::npos) return true;
  std::size_t i = 0;
  while (i < shown.size() && shown[i] >= '0' && shown[i] <= '9') ++i;
  if (i == 0) return false;
  for (int part = 0; part < (seconds ? 2 : 1); ++part) {
    if (shown.size() < i + 3 || shown[i] != ':' || shown[i + 1] < '0' || shown[i + 1] > '5' ||
        shown[i + 2] < '0' || shown[i + 2] > '9') {
      return false;
    }
    i += 3;
  }
  return i == shown.size();
}

// "0.00E+00", "0E+0": the mantissa's decimals, or -1 for any other code.
int scientificDecimals(std::string_view code) {
  if (!code.starts_with('0')) return -1;
  std::size_t i = 1;
  int decimals = 0;
  if (i < code.size() && code[i] == '.') {
    for (++i; i < code.size() && code[i] == '0'; ++i) ++decimals;
  }
  if (code.substr(i, 2) != "E+" && code.substr(i, 2) != "E-") return -1;
  i += 2;
  const std::size_t digits = code.size() - i;
  return digits > 0 && code.substr(i).find_first_not_of('0') == std::string_view::npos ? decimals
                                                                                       : -1;
}

// A number shown in a scientific code reads back as the number rounded to its digits.
void checkScientific(double value, std::string_view code, const std::string& shown) {
  const int decimals = scientificDecimals(code);
  if (decimals < 0 || !std::isfinite(value)) return;
  // Rounded up, the largest numbers show a number beyond a double; the smallest have fewer
  // digits than the format shows.
  const bool checkable = std::fabs(value) < 1e307 && std::fabs(value) > 1e-300;
  const std::size_t e = shown.find('E');
  QX_FUZZ_CHECK(e != std::string::npos &&
                    shown.find('.') == (decimals > 0 ? e - decimals - 1 : std::string::npos),
                "a scientific format shows another count of decimals");
  double back = 0;
  if (!checkable) return;
  QX_FUZZ_CHECK(readNumber(shown, back), "a scientific format shows no number");
  // The mantissa's last digit is worth 10^(exponent - decimals); the value is at least
  // 10^exponent. Beyond 15 significant digits the rounding shows the value nudged by 1e-15.
  QX_FUZZ_CHECK(std::fabs(back - value) <=
                    std::fabs(value) * (0.5 * std::pow(10.0, -decimals) * 1.001 + 1e-14),
                "a scientific format shows another number");
}

void checkFormat(double value, std::string_view code) {
  const std::string shown = formatNumber(value, code);
  const std::string_view section = code.substr(0, code.find(';'));
  if (section == "h:mm" || section == "[h]:mm" || section == "h:mm:ss" || section == "[h]:mm:ss") {
    QX_FUZZ_CHECK(!std::isfinite(value) || isTimeText(shown, section.ends_with(":ss")),
                  "a time format shows no time");
  }
  QX_FUZZ_CHECK(!shown.empty(), "a number shows nothing");
  QX_FUZZ_CHECK(shown.find("inf") == std::string::npos && shown.find("nan") == std::string::npos,
                "a number shows as inf or nan");
  checkScientific(value, code, shown);
  bool percent = false;
  const int decimals = fixedDecimals(code, percent);
  if (decimals < 0 || !std::isfinite(value) || code.find(';') != std::string_view::npos) return;
  // A hundred times the largest numbers is no double, so there is nothing to compare with.
  if (percent && !std::isfinite(value * 100)) return;
  std::string digits;
  for (const char c : shown)
    if (c != ',' && c != '%') digits += c;
  const std::size_t point = digits.find('.');
  QX_FUZZ_CHECK(decimals == 0 ? point == std::string::npos
                              : digits.size() - point - 1 == static_cast<std::size_t>(decimals),
                "a fixed format shows another count of decimals");
  double back = 0;
  QX_FUZZ_CHECK(readNumber(digits, back), "a fixed format shows no number");
  const double expected = percent ? value * 100 : value;
  const double error = std::fabs(back - expected);
  QX_FUZZ_CHECK(error <= 0.5 * std::pow(10.0, -decimals) * 1.001 + std::fabs(expected) * 1e-14,
                "a fixed format shows another number");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] % 2 == 0) {
    checkText(rest);
    return 0;
  }
  if (rest.size() < 8) return 0;
  const double value = qx::platform::doubleAt(qx::platform::Bytes(data + 1, 8), 0);
  checkFormat(value, rest.substr(8));
  formatGeneral(value);
  return 0;
}
