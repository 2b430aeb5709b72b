// Fuzz target for how texts become numbers and times and how numbers are shown. The first
// byte chooses: even, the rest is a text put into a cell; odd, eight bytes are a double and
// the rest a number format code. A recognised number shown in General reads back as (nearly)
// the same number, a recognised time shown as h:mm or [h]:mm is the text it came from, and a
// number shown in a fixed-decimal format reads back as the number rounded to those decimals.

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/number_formats.h"
#include "engine/value_recognition.h"
#include "platform/byte_fields.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using qx::engine::formatGeneral;
using qx::engine::formatNumber;
using qx::engine::RecognisedKind;
using qx::engine::recogniseText;

bool readNumber(std::string_view text, double& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// "0012:05" -> "12:05", "0:05" stays.
std::string canonicalTime(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  while (text.size() > 4 && text.front() == '0') text.remove_prefix(1);
  return std::string(text);
}

void checkText(std::string_view text) {
  const qx::engine::RecognisedValue value = recogniseText(text);
  switch (value.kind) {
    case RecognisedKind::Text:
      return;
    case RecognisedKind::Number: {
      QX_FUZZ_CHECK(std::isfinite(value.number), "a number that is no finite double");
      const std::string shown = formatGeneral(value.number);
      const qx::engine::RecognisedValue again = recogniseText(shown);
      QX_FUZZ_CHECK(again.kind == RecognisedKind::Number, "General shows no number");
      const double error = std::fabs(again.number - value.number);
      QX_FUZZ_CHECK(error <= std::max(std::fabs(value.number) * 1e-5, 1e-9),
                    "General shows another number");
      return;
    }
    case RecognisedKind::Time:
    case RecognisedKind::LongTime: {
      QX_FUZZ_CHECK(value.number >= 0 && std::isfinite(value.number), "a time out of range");
      const bool elapsed = value.kind == RecognisedKind::LongTime;
      QX_FUZZ_CHECK(elapsed == (value.number >= 1), "a time of a day or more is not long");
      const std::string shown = formatNumber(value.number, elapsed ? "[h]:mm" : "h:mm");
      // Past the end of the year 9999 no time can be shown.
      const bool showable = value.number < 2958465;
      QX_FUZZ_CHECK(showable ? shown == canonicalTime(text)
                             : shown.find_first_not_of('#') == std::string::npos,
                    "a time shows another time");
      return;
    }
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
