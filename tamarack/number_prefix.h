#pragma once
// Numbers at the front of a record's text, read the same way whatever locale the host set:
// leading white space is skipped, then an optional sign and digits are taken (for reals also a
// decimal point and an exponent); reading stops at the first byte that does not fit. A text
// with no number in front reads as 0.

#include <cstdint>
#include <string_view>

namespace qx::tamarack {

// A whole number; values beyond the 32-bit range are held at its nearest end.
std::int32_t leadingInteger(std::string_view text);

// A real number with '.' as the decimal point; values too large become infinite, values too
// small become zero, each with the sign of the text.
double leadingReal(std::string_view text);

}  // namespace qx::tamarack
