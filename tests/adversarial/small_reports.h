#pragma once
// One small, well-formed report per deliverable, run with a template the case chooses: what
// the host sends when only the template is hostile.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "tests/adversarial/hostile_host.h"

namespace qx::testing {

enum class Exporter { Heron, Vellum, VellumX, Kestrel, Tamarack };

const char* exporterName(Exporter exporter);
inline void PrintTo(Exporter exporter, std::ostream* out) {
  *out << exporterName(exporter);
}
// The examples' folder whose template suits the exporter.
const char* exampleFolder(Exporter exporter);

// Runs the small report with `workbook` as its template. For heron, how the program ended;
// for the libraries, nothing (the call has come back).
std::optional<ProgramEnd> runSmallReport(Exporter exporter, const HostSetting& setting,
                                         const std::filesystem::path& workbook);

}  // namespace qx::testing
