#pragma once
// qx_host's command line: the options, --help and --version. The options are one table, which
// both the parser and --help read (and the man page is made from --help), so they cannot drift.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qx::host {

struct CommandLine {
  std::filesystem::path report;                 // the description, as the user wrote it
  bool reportFromInput = false;                 // REPORT was "-": standard input
  std::filesystem::path output;                 // --output, as the user wrote it
  std::optional<std::filesystem::path> conf;    // --conf (else $QX_CONF_DIR, else private)
  std::optional<std::filesystem::path> libDir;  // --lib-dir (else beside the running host)
  std::optional<double> waitSeconds;            // --wait: how long to wait for a locked folder
  bool quiet = false;                           // --quiet: no progress
  bool json = false;                            // --json: the summary as one JSON object
  bool help = false;
  bool version = false;
};

// A command line that cannot be used; the text says why.
struct UsageError {
  std::string what;
};

// Reads argv; a wrong command line is a UsageError. Options take their value as the next
// argument or after "=" ("--output=FILE"); each may be given once.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The suffixes a filled workbook may have; true when `path` ends in one (in any case).
bool hasWorkbookSuffix(const std::filesystem::path& path);

// The whole --help text, and the one line --version prints.
std::string helpText();
std::string versionText();

}  // namespace qx::host
