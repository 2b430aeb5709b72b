#pragma once
// Where the grouped table exporter's run differs from the other exporters' (both builds alike;
// build_rules.h holds where the two builds differ from each other).

#include <string_view>

#include <optional>

#include "report/exporter_policy.h"

namespace qx::vellum {

// Shown when the run meets input it cannot write (a cell outside the sheet, a number too
// large for its text); followed by the reason.
inline constexpr std::string_view kRunAbortedMessage = "导出中止: ";

// The apartment stays for the host's thread on every end but a server that never started.
inline constexpr report::ExporterPolicy kRunPolicy{
    .uninitializeAfterGoodRun = false,
    .uninitializeAfterFailure = false,
    .rowOutOfRange = report::kBadIndex,
    .frameAboveSheet = std::nullopt,
    .picture = report::PictureStyle::NearestSingle,
    .numberWorkArea = 80,
    .otherFailurePrefix = kRunAbortedMessage,
    .startTexts = &report::kFixedStartTexts,
};

}  // namespace qx::vellum
