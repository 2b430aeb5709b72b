#pragma once
// The four summed columns of the result table: "e" sums whole numbers, "n", "8" and "0" sum
// reals. Each keeps the sum of the current page and the grand sum, and the column where its
// selector first stands in the column spec.

#include <array>
#include <cstdint>
#include <string>

#include "tamarack/result_records.h"

namespace qx::tamarack {

struct SummedColumn {
  char selector;
  int column = 0;                              // 1-based; 0 while the selector has not occurred
  std::int32_t wholePage = 0, wholeGrand = 0;  // "e"
  double realPage = 0, realGrand = 0;          // "n", "8", "0"

  bool whole() const { return selector == 'e'; }
  // Switch A allows the subtotal of "e", switch B that of "n", either of them "8" and "0".
  bool subtotalAllowed(bool switchA, bool switchB) const;
  // "%d" for "e", three decimals for "n", two for "8" and "0", printed as they are.
  std::string pageText() const;
  // "%d" for "e"; the reals rounded half away from zero, trailing zeros dropped.
  std::string grandText() const;
};

class SummedColumns {
 public:
  // Adds the record's four numbers to the page and grand sums, whatever the column spec holds.
  void add(const RowRecord& record);
  void clearPage();
  // Remembers `column` for `selector` when it is one of the four and has no column yet.
  void noteColumn(char selector, int column);

  const std::array<SummedColumn, 4>& columns() const { return columns_; }

 private:
  std::array<SummedColumn, 4> columns_{{{'e'}, {'n'}, {'8'}, {'0'}}};
};

// A real printed with `decimals` decimals, the same in every locale ("%0.3f").
std::string fixedText(double value, int decimals);

}  // namespace qx::tamarack
