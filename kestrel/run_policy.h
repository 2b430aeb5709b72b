#pragma once
// Where the dual-spec table exporter's run differs from the other exporters'.

#include <optional>

#include "report/exporter_policy.h"

namespace qx::kestrel {

// The apartment stays for the host's thread after a good run; a failure hands it back, since
// nothing of the run is left to use it. A row beyond 32 bits is refused as an invalid argument,
// as is a frame above the first row, which no address names.
inline constexpr report::ExporterPolicy kRunPolicy{
    .uninitializeAfterGoodRun = false,
    .uninitializeAfterFailure = true,
    .rowOutOfRange = report::kInvalidArgument,
    .frameAboveSheet = report::kInvalidArgument,
    .picture = std::nullopt,
    .numberWorkArea = 0,
    .otherFailurePrefix = report::kFailurePrefix,
    .startTexts = &report::kFixedStartTexts,
};

}  // namespace qx::kestrel
