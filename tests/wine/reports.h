#pragma once
// The reports run through every transport: each one's host records laid out byte by byte and
// its files placed in the configuration directory, defined once for the in-process runs and
// for the runs of the built Windows binaries.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qx::testing {

enum class Deliverable { Heron, Vellum, VellumX, Kestrel, Tamarack };

// "heron", "vellum", "vellum_x", "kestrel", "tamarack": the target and file name.
const char* deliverableName(Deliverable deliverable);

// The export the host calls by name; null for heron, which is a program.
const char* exportName(Deliverable deliverable);

// One report made ready: its files written, its records in this process's memory.
struct PreparedReport {
  const void* header = nullptr;    // the export's first argument
  const void* firstRow = nullptr;  // the export's second argument
  // This machine's paths as the server and the messages see them (UTF-8), each with the
  // placeholder that stands for it in the expected texts.
  std::vector<std::pair<std::string, std::string>> paths;
  std::vector<std::shared_ptr<void>> records;  // what header and firstRow point into
};

struct Report {
  std::string name;  // also names the expected log, expected/<name>.log
  Deliverable deliverable;
  int sheets = 1;  // worksheets of the server's workbook
  // COM initialisations the call leaves on the host's thread (a program leaves none).
  int apartmentsLeft = 0;
  int exitCode = 0;                     // of heron
  std::vector<std::string> messages{};  // shown, in order, with placeholders for the paths
  // Clears the configuration directory's temp and lang folders and prepares the report there.
  std::function<PreparedReport(const std::filesystem::path& configuration)> prepare{};
  // A call the server fails (server_failure.h), or empty.
  std::string failure{};
};

const std::vector<Report>& reports();

// The reports that plan no failure of the recording server: those any server that reads the
// template (the embedded engine) runs alike.
std::vector<Report> engineReports();

// The paths in `text` replaced by their placeholders; `escaped` for log text, where paths
// appear as the log quotes them.
std::string withPlaceholders(std::string text, const PreparedReport& prepared, bool escaped);

}  // namespace qx::testing
