#pragma once
// The built Windows deliverables as the host uses them, and what the tests that run them share.

#include <filesystem>
#include <string>
#include <vector>

#include "tests/wine/reports.h"

namespace qx::testing {

// The deliverables of this build; null for one that belongs to the other architecture.
const char* builtPath(Deliverable deliverable);

// Runs the program with this process's environment; returns its exit code, or -1.
int runProgram(const char* path);

// Calls the library's export with the prepared records, the way the host does, then hands back
// the COM initialisations the call leaves on this thread (`apartmentsLeft`). Returns false when
// the library or its export cannot be found.
bool callLibrary(Deliverable deliverable, const PreparedReport& prepared, int apartmentsLeft);

// An environment variable of the process itself (not only of the C runtime's copy), set in
// UTF-16 so that any text reaches the server's library and the programs started here intact.
class ProcessEnv {
 public:
  ProcessEnv(const wchar_t* name, const std::string& utf8);
  ~ProcessEnv();
  ProcessEnv(const ProcessEnv&) = delete;
  ProcessEnv& operator=(const ProcessEnv&) = delete;

 private:
  const wchar_t* name_;
};

std::vector<std::string> lines(const std::string& text);

// A report run with QX_SPREADSHEET_SERVER set to `route` (empty: unset).
struct RoutedReport {
  Report report;
  std::string route;
};

// The reports of `chosen` this build's deliverables make (`program`: heron's, else the
// libraries'), each with `route`.
std::vector<RoutedReport> routedReports(const std::vector<Report>& chosen, bool program,
                                        const std::string& route);

// The message that tells an unknown QX_SPREADSHEET_SERVER value, as the message log holds it.
std::string unknownRouteMessage(const std::string& value);

// The program the prefix opens .xlsx files with (qx_opened_recorder.exe, registered by
// scripts/register-test-servers.sh <preset> opener) appends each file it is started on to the
// file QX_OPENED_LOG names, one UTF-8 line each. What it wrote, read as soon as `count` lines
// are there, else after `seconds`: the program starts on its own time.
std::string openedFiles(const std::filesystem::path& log, double seconds, std::size_t count);

}  // namespace qx::testing
