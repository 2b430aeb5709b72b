#pragma once
// The expected call logs kept beside the tests, and the files a run leaves behind.

#include <filesystem>
#include <optional>
#include <string>

#include "tests/wine/reports.h"

namespace qx::wine {

// expected/<report name>.log of the source tree.
std::filesystem::path expectedLogPath(const Report& report);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

void writeWholeFile(const std::filesystem::path& path, const std::string& text);

// The messages the report is expected to show, one line each as the message log holds them.
std::string expectedMessageLog(const Report& report);

}  // namespace qx::wine
