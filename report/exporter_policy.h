#pragma once
// Where one exporter's run differs from the others'. Each exporter names its own policy
// (<exporter>/run_policy.h) with the fields in this order, so that the four read side by side.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "report/failure_report.h"
#include "report/sheet_writing.h"

namespace qx::report {

struct ExporterPolicy {
  // COM is uninitialised on the calling thread when the fill ends normally, saved or stopped;
  // otherwise the apartment stays for the host's thread.
  bool uninitializeAfterGoodRun;
  // The same when the fill ends on a failure (a failed call, input sheet writing cannot name).
  bool uninitializeAfterFailure;
  // The error a row that leaves the 32-bit range raises: no sheet has it, and the server would
  // refuse it as it refuses any row beyond its sheet.
  std::int32_t rowOutOfRange;
  // How pictures are placed, and whether a missing picture file is told; none: no pictures.
  std::optional<PictureStyle> picture;
  // Bytes of the work area a number's text is printed into (numberToText); 0: prints none.
  std::size_t numberWorkArea;
  // What precedes the reason when a run ends on a failure other than a failed call.
  std::string_view otherFailurePrefix;
};

}  // namespace qx::report
