#pragma once
// The expected call logs kept beside the tests, the files a run reads and leaves behind.

#include <filesystem>
#include <optional>
#include <string>

#include "tests/wine/reports.h"

namespace qx::testing {

// expected/<report name>.log of the source tree.
std::filesystem::path expectedLogPath(const Report& report);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

void writeWholeFile(const std::filesystem::path& path, const std::string& text);

// The messages the report is expected to show, one line each as the message log holds them.
std::string expectedMessageLog(const Report& report);

// A path of the build machine's tree (source or build), as this process opens it: on Windows
// through drive Z:.
std::filesystem::path treePath(std::string unixPath);

// Puts the example template of the report's exporter (examples/<exporter>/template.xlsx) and
// the example picture over the stand-ins prepare() wrote, where it wrote them, for a server
// that reads them: the embedded engine.
void useExampleFiles(const Report& report, const PreparedReport& prepared);

// The prepared template's path (where the engine saves the filled report).
std::filesystem::path templateOf(const PreparedReport& prepared);

// Where a run that saved keeps a copy of the report for the workbook checks
// (tests/wine/workbook_summary.py): <folder>/<deliverable>/<report>.xlsx. Any older copy is
// removed, so that only this run's report can pass.
std::filesystem::path freshSavedCopyPath(const std::filesystem::path& folder, const Report& report);

}  // namespace qx::testing
