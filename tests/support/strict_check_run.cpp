#include "tests/support/strict_check_run.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>

namespace qx::testing {

StrictCheck strictCheck(
    const std::vector<std::pair<std::filesystem::path, std::filesystem::path>>& packages,
    const std::filesystem::path& folder) {
  const std::filesystem::path listing = folder / "strict-check.txt";
  {
    std::ofstream out(listing);
    for (const auto& [templatePath, package] : packages) {
      if (!templatePath.empty()) out << templatePath.string() << '\t';
      out << package.string() << '\n';
    }
  }
  StrictCheck result;
  const std::string command =
      "/usr/bin/python3 -B '" QX_STRICT_CHECK "' '" + listing.string() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    result.report.append(buffer, n);
  }
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace qx::testing
