#include "report/cell_address.h"

#include <charconv>
#include <stdexcept>

namespace qx::report {

std::size_t formatCellAddress(int column, int row, char (&out)[16]) {
  if (column < 1 || column > kMaxAddressColumn || row < 1) {
    throw std::out_of_range("no cell address for column " + std::to_string(column) + ", row " +
                            std::to_string(row));
  }
  std::size_t n = 0;
  if (column <= 26) {
    out[n++] = '$';
    out[n++] = static_cast<char>(64 + column);
    out[n++] = '$';
  } else {
    out[n++] = static_cast<char>(64 + (column - 1) / 26);
    out[n++] = static_cast<char>(65 + (column - 1) % 26);
  }
  return static_cast<std::size_t>(std::to_chars(out + n, out + sizeof out, row).ptr - out);
}

std::string cellAddress(int column, int row) {
  char out[16];
  return std::string(out, formatCellAddress(column, row, out));
}

}  // namespace qx::report
