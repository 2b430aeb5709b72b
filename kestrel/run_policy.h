#pragma once
// Where the dual-spec table exporter's run differs from the other exporters'.

#include <optional>

#include "automation/dispatch.h"
#include "report/exporter_policy.h"

namespace qx::kestrel {

// The apartment stays for the host's thread after a good run; a failure hands it back, since
// nothing of the run is left to use it. A row beyond 32 bits is refused as an invalid argument,
// as is a frame above the first row (the run refuses that itself).
inline constexpr report::ExporterPolicy kRunPolicy{
    .uninitializeAfterGoodRun = false,
    .uninitializeAfterFailure = true,
    .rowOutOfRange = automation::hr::kInvalidArg,
    .picture = std::nullopt,
    .numberWorkArea = 0,
    .otherFailurePrefix = report::kFailurePrefix,
};

}  // namespace qx::kestrel
