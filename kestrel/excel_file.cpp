#include "kestrel/excel_file.h"

#include <cstdint>

#include "kestrel/dual_spec_header.h"
#include "kestrel/dual_spec_run.h"

extern "C" void excel_file(const void* header, const void* firstRow) {
  if (header == nullptr) return;
  qx::report::atExportBoundary([&] {
    const auto* headerBytes = static_cast<const std::uint8_t*>(header);
    const qx::kestrel::DualSpecHeader decoded = qx::kestrel::decodeDualSpecHeader(
        qx::platform::Bytes(headerBytes, qx::kestrel::kDualSpecHeaderSize));
    qx::kestrel::runDualSpecExport(decoded, static_cast<const std::uint8_t*>(firstRow),
                                   qx::platform::systemMessages());
  });
}
