#pragma once
// Short decimal texts of numbers, as the grouped and paged exporters print them. Each names the
// size of the work area its text is printed into in its policy (numberWorkArea).

#include <cstddef>
#include <string>

namespace qx::report {

// x with `decimals` decimals (0..3; any other value counts as 4), rounded half away from zero
// by adding half a step and cutting; trailing zeros and a bare decimal point are removed. A
// negative value that rounds to zero keeps its sign ("-0"). A number whose "%f" form does not
// fit `workArea` bytes with its NUL is outside the range: std::out_of_range.
std::string numberToText(double x, int decimals, std::size_t workArea);

}  // namespace qx::report
