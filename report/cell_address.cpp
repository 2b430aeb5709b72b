#include "report/cell_address.h"

#include <stdexcept>

namespace qx::report {

std::string cellAddress(int column, int row) {
  if (column < 1 || column > kMaxAddressColumn || row < 1) {
    throw std::out_of_range("no cell address for column " + std::to_string(column) + ", row " +
                            std::to_string(row));
  }
  if (column <= 26) {
    return std::string("$") + static_cast<char>(64 + column) + "$" + std::to_string(row);
  }
  std::string name;
  name += static_cast<char>(64 + (column - 1) / 26);
  name += static_cast<char>(65 + (column - 1) % 26);
  return name + std::to_string(row);
}

}  // namespace qx::report
