#pragma once
// The strict check of saved packages (tests/support/strict_check): every XML part against the
// ECMA-376 schemas after Markup Compatibility processing, and the rules the schemas cannot
// state. A package is held to its template: only findings the template did not have fail.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace qx::testing {

struct StrictCheck {
  int status = -1;     // 0: no finding the templates did not have; 1: some; 2: no schemas
  std::string report;  // every failing finding (package: part:line: rule: message), the counts
};

// Checks each package against its template (an empty template: every finding fails). The
// listing the check reads is written into `folder`.
StrictCheck strictCheck(
    const std::vector<std::pair<std::filesystem::path, std::filesystem::path>>& packages,
    const std::filesystem::path& folder);

}  // namespace qx::testing
