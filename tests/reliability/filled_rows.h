#pragma once
// The rows the saving child fills in, so that its parent knows what a complete save shows.

#include <string>
#include <vector>

#include "platform/code_page.h"
#include "tests/reliability/workbook_checks.h"

namespace qx::testing {

inline constexpr int kFilledColumns = 4;

// Row `row` as the engine shows it: a text, a whole number, a decimal and a Chinese text.
inline std::vector<CellText> filledRow(int row) {
  const std::string n = std::to_string(row);
  return {{row, 1, "row " + n},
          {row, 2, n},
          {row, 3, n + ".5"},
          {row, 4, platform::utf8ToGbk("第" + n + "行")}};
}

}  // namespace qx::testing
