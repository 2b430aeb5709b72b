#pragma once
// Rows that run on in 64 bits, as sheet writing takes them.

#include <cstdint>
#include <limits>

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "report/exporter_policy.h"

namespace qx::report {

// `row` as the 32-bit index `operation` passes; outside that range it names no cell, and the
// operation fails with the policy's rowOutOfRange.
inline int sheetRow(std::int64_t row, const automation::Operation& operation,
                    const ExporterPolicy& policy) {
  if (row < std::numeric_limits<std::int32_t>::min() ||
      row > std::numeric_limits<std::int32_t>::max()) {
    throw automation::AutomationError(operation.name, policy.rowOutOfRange);
  }
  return static_cast<int>(row);
}

}  // namespace qx::report
