#pragma once
// The heron process: its start-up ("framework": console, locale, the message interface), then
// one export.

#include <functional>

#include "heron/check_point_run.h"
#include "platform/messages.h"

namespace qx::heron {

// Prepares the process for the export and returns the message interface the run tells the
// user through; null when the process cannot be prepared.
platform::Messages* initializeFramework();

// The line written to standard error when start-up fails.
inline constexpr const char* kStartupFailure = "Fatal Error: MFC initialization failed";

// The whole program: start-up through `initialize` (a parameter so that tests can make it
// fail), then the export with `files`. Returns the exit code: 1 when start-up fails, 2 when
// the server failed a call or the run met an unexpected error, 0 on every other end.
int runProgram(const std::function<platform::Messages*()>& initialize, const RunFiles& files);

}  // namespace qx::heron
