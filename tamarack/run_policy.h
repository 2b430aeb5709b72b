#pragma once
// Where the paged result table exporter's run differs from the other exporters'.

#include <optional>

#include "report/exporter_policy.h"

namespace qx::tamarack {

// The apartment stays for the host's thread after a good run and after a failure; the early
// ends hand it back themselves, and only when their message could be read from the language
// file. Pictures go into cells without a word when their file is missing.
inline constexpr report::ExporterPolicy kRunPolicy{
    .uninitializeAfterGoodRun = false,
    .uninitializeAfterFailure = false,
    .rowOutOfRange = report::kBadIndex,
    .frameAboveSheet = std::nullopt,
    .picture = report::PictureStyle::NearestSingleSilent,
    .numberWorkArea = 256,
    .otherFailurePrefix = report::kFailurePrefix,
    .startTexts = nullptr,  // the run's language file (LanguageTexts) stands here
};

}  // namespace qx::tamarack
