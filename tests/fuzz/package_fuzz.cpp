// Fuzz target for the package reader: any bytes, offered as a workbook file, either open and
// read or fail with an EngineError; nothing may crash, hang or leak.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "engine/package/cell_values.h"
#include "engine/package/workbook.h"
#include "engine/save/engine_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/qx-package-fuzz-" + std::to_string(::getpid()) + ".xlsx";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    qx::engine::Workbook workbook(path);
    const std::size_t active = workbook.activeSheet();
    qx::engine::Worksheet& sheet = workbook.worksheet(active);
    const qx::engine::CellRect used = sheet.usedRange();
    for (std::uint32_t row = used.top; row <= used.bottom && row < used.top + 8; ++row) {
      for (std::uint32_t column = used.left; column <= used.right && column < used.left + 8;
           ++column) {
        qx::engine::cellText(workbook, sheet, row, column);
      }
    }
  } catch (const qx::engine::EngineError&) {
  }
  std::remove(path.c_str());
  return 0;
}
