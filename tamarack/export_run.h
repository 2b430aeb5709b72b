#pragma once
// One report: read the host's data, open the template in the spreadsheet server, fill the
// result table and save. Every outcome is shown to the user; nothing is returned.

#include <filesystem>

#include "platform/messages.h"
#include "report/run_outcome.h"

namespace qx::tamarack {

struct RunFiles {
  std::filesystem::path languageFile;
  std::filesystem::path dataFile;
};

// The language file and data file of the installation's configuration directory.
RunFiles installedFiles();

// Runs one export. Raises nothing: a failure of the server mid-run is shown as one message and
// every reference taken is released.
report::Outcome runExport(const RunFiles& files, platform::Messages& messages);

}  // namespace qx::tamarack
