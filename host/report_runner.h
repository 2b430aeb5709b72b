#pragma once
// Hands one described report to its exporter the way the calculation program does.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "host/description.h"

namespace qx::host {

// Every record of a report, encoded and ready to hand over.
struct EncodedReport {
  std::string exporter;
  std::vector<std::uint8_t> header;
  RecordList rows;
  std::vector<std::string> warnings;  // what the user should know, though nothing is wrong
};

// Encodes the header with the workbook to fill in its path field and takes over the rows the
// description encoded as it was read (leaving it none), so that a bad description never
// reaches an export half-built. Refusals, the rows' included and what the exporter cannot do
// without (report_checks.h), are DescriptionErrors.
EncodedReport encodeReport(Description& description, const std::filesystem::path& workbook);

class Progress;

struct HandOver {
  std::filesystem::path exporterFile;  // the library, or the heron program
  std::filesystem::path confDir;       // the configuration folder handed to the exporters
  Progress* progress = nullptr;        // told how far the exporter has come, when shown
};

// Writes the data files and the picture into the configuration folder and calls the exporter.
// Returns heron's exit code (128 + signal when it was killed); 0 for the libraries, which
// report nothing. heron is stopped if the host dies, so that it never writes a report no run
// waits for.
int handOver(const Description& description, EncodedReport& report, const HandOver& where);

// The file the exporter reads the picture from, in the configuration folder; empty when the
// exporter takes no such file.
std::filesystem::path pictureCopy(const std::string& exporter,
                                  const std::filesystem::path& confDir);

}  // namespace qx::host
