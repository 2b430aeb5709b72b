#pragma once
// Hands one described report to its exporter the way the calculation program does.

#include <filesystem>
#include <string>

#include "host/description.h"

namespace qx::host {

struct RunOptions {
  std::filesystem::path libraryDir;    // where libvellum.so, libkestrel.so, ... are
  std::filesystem::path heronProgram;  // the heron executable
  std::filesystem::path confDir;       // the configuration directory handed to the exporters
  std::filesystem::path workbook;      // the workbook that is filled (a copy of the template)
};

struct RunResult {
  int records = 0;
  int exitCode = 0;  // heron's exit code; 0 for the libraries, which report nothing
};

// Encodes every record first (so a bad description never reaches an export half-built), then
// writes the data files, copies the template to options.workbook and calls the exporter.
RunResult runReport(const Description& description, const RunOptions& options);

}  // namespace qx::host
