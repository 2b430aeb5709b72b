#pragma once
// qx_host's command line: the options, --help and --version.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qx::host {

struct CommandLine {
  std::filesystem::path report;                 // the description, as the user wrote it
  std::filesystem::path output;                 // --output, as the user wrote it
  std::optional<std::filesystem::path> conf;    // --conf (else $QX_CONF_DIR, else private)
  std::optional<std::filesystem::path> libDir;  // --lib-dir (else beside the running host)
  bool help = false;
  bool version = false;
};

// A command line that cannot be used; the text says why.
struct UsageError {
  std::string what;
};

// Reads argv; a wrong command line is a UsageError.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The whole --help text, and the one line --version prints.
std::string helpText();
std::string versionText();

}  // namespace qx::host
