// Fuzz target for A1 references. Any text: a reference the parser accepts names a cell on the
// sheet, and its canonical name (upper-case letters, no dollar signs, no leading zeros) is the
// text it came from; that name parses back to the same cell. The first eight bytes, read as a
// column and a row, also name a cell for the exporters, which must parse back to that cell.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/package/cell_reference.h"
#include "engine/package/cell_store.h"
#include "platform/byte_fields.h"
#include "report/cell_address.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using qx::engine::CellPosition;
using qx::engine::parseCellReference;

// "$b$007" -> "B7": what a reference names, written the one way.
std::string canonical(std::string_view text) {
  std::string out;
  bool inDigits = false;
  for (const char c : text) {
    if (c == '$') continue;
    if (c >= '0' && c <= '9') {
      if (!inDigits && c == '0') continue;
      inDigits = true;
      out += c;
    } else {
      out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
  }
  return out;
}

bool same(const std::optional<CellPosition>& a, std::uint32_t row, std::uint32_t column) {
  return a.has_value() && a->row == row && a->column == column;
}

void checkReference(std::string_view text) {
  const std::optional<CellPosition> at = parseCellReference(text);
  if (!at) return;
  QX_FUZZ_CHECK(at->row >= 1 && at->row <= qx::engine::kMaxRows, "a row off the sheet");
  QX_FUZZ_CHECK(at->column >= 1 && at->column <= qx::engine::kMaxColumns, "a column off the sheet");
  const std::string name = qx::engine::cellName(at->row, at->column);
  QX_FUZZ_CHECK(name == canonical(text), "a reference names another cell than its text");
  QX_FUZZ_CHECK(same(parseCellReference(name), at->row, at->column),
                "a cell's name parses to another cell");
  QX_FUZZ_CHECK(qx::engine::rectName({at->row, at->column, at->row, at->column}) == name,
                "a one-cell rectangle is not named as its cell");
}

void checkAddress(std::int32_t column, std::int32_t row) {
  std::string address;
  try {
    address = qx::report::cellAddress(column, row);
  } catch (const std::out_of_range&) {
    QX_FUZZ_CHECK(column < 1 || column > qx::report::kMaxAddressColumn || row < 1,
                  "a cell on the sheet has no address");
    return;
  }
  QX_FUZZ_CHECK(column >= 1 && column <= qx::report::kMaxAddressColumn && row >= 1,
                "a cell off the sheet has an address");
  QX_FUZZ_CHECK((column <= 26) == (address.front() == '$'), "absolute for the wrong columns");
  const std::optional<CellPosition> at = parseCellReference(address);
  if (static_cast<std::uint32_t>(row) <= qx::engine::kMaxRows) {
    QX_FUZZ_CHECK(same(at, static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column)),
                  "an address parses to another cell");
  } else {
    QX_FUZZ_CHECK(!at.has_value(), "a row below the sheet parsed");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  checkReference(std::string_view(reinterpret_cast<const char*>(data), size));
  if (size >= 8) {
    const qx::platform::Bytes bytes(data, size);
    checkAddress(qx::platform::int32At(bytes, 0), qx::platform::int32At(bytes, 4));
  }
  return 0;
}
