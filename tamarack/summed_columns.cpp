#include "tamarack/summed_columns.h"

#include <charconv>
#include <stdexcept>

#include "report/number_text.h"
#include "tamarack/number_prefix.h"
#include "tamarack/run_policy.h"

namespace qx::tamarack {

namespace {
int decimalsOf(char selector) {
  return selector == 'n' ? 3 : 2;
}
}  // namespace

std::string fixedText(double value, int decimals) {
  char text[400];  // the largest double has 309 digits before the point
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, result.ptr);
}

bool SummedColumn::subtotalAllowed(bool switchA, bool switchB) const {
  switch (selector) {
    case 'e':
      return switchA;
    case 'n':
      return switchB;
    default:
      return switchA || switchB;
  }
}

std::string SummedColumn::pageText() const {
  if (whole()) return std::to_string(wholePage);
  return fixedText(realPage, decimalsOf(selector));
}

std::string SummedColumn::grandText() const {
  if (whole()) return std::to_string(wholeGrand);
  try {
    return report::numberToText(realGrand, decimalsOf(selector), kRunPolicy.numberWorkArea);
  } catch (const std::out_of_range&) {
    // Too long for the work area (hundreds of digits): such a value has no fraction left to
    // round, and with trailing zeros dropped its text is the whole number.
    return fixedText(realGrand, 0);
  }
}

void SummedColumns::add(const RowRecord& record) {
  for (SummedColumn& sum : columns_) {
    const std::string_view text = record.field(*rowField(sum.selector));
    if (sum.whole()) {
      // 32-bit sums wrap as the host's own arithmetic would, never overflow.
      const auto value = static_cast<std::uint32_t>(leadingInteger(text));
      sum.wholePage = static_cast<std::int32_t>(static_cast<std::uint32_t>(sum.wholePage) + value);
      sum.wholeGrand =
          static_cast<std::int32_t>(static_cast<std::uint32_t>(sum.wholeGrand) + value);
    } else {
      const double value = leadingReal(text);
      sum.realPage += value;
      sum.realGrand += value;
    }
  }
}

void SummedColumns::clearPage() {
  for (SummedColumn& sum : columns_) {
    sum.wholePage = 0;
    sum.realPage = 0;
  }
}

void SummedColumns::noteColumn(char selector, int column) {
  for (SummedColumn& sum : columns_) {
    if (sum.selector == selector && sum.column == 0) sum.column = column;
  }
}

}  // namespace qx::tamarack
