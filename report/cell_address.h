#pragma once
// A1-style names of single cells as the exporters pass them to Worksheet.Range.

#include <string>

namespace qx::report {

inline constexpr int kMaxAddressColumn = 702;  // ZZ

// "$A$5" for columns 1 to 26, "AA5" (no dollar signs) for columns 27 to 702. Columns outside
// 1..702 and rows below 1 have no such name: std::out_of_range.
std::string cellAddress(int column, int row);

// The same name written into `out`, without allocating; returns its length.
std::size_t formatCellAddress(int column, int row, char (&out)[16]);

}  // namespace qx::report
