#pragma once
// Where heron's run differs from the other exporters'.

#include <optional>

#include "report/exporter_policy.h"

namespace qx::heron {

// A program of its own: COM is handed back on every way out.
inline constexpr report::ExporterPolicy kRunPolicy{
    .uninitializeAfterGoodRun = true,
    .uninitializeAfterFailure = true,
    .rowOutOfRange = report::kBadIndex,
    .frameAboveSheet = std::nullopt,
    .picture = report::PictureStyle::WholePoints,
    .numberWorkArea = 0,
    .otherFailurePrefix = report::kFailurePrefix,
    .startTexts = &report::kFixedStartTexts,
};

}  // namespace qx::heron
