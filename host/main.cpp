// qx_host: runs a described report through its exporter, as the calculation program would.
//
//   qx_host REPORT.json --output FILLED.xlsx [--conf DIR] [--lib-dir DIR] [--heron PROGRAM]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "host/report_runner.h"

#ifndef QX_HOST_LIBRARY_DIR
#define QX_HOST_LIBRARY_DIR ""
#endif
#ifndef QX_HOST_HERON
#define QX_HOST_HERON ""
#endif

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: qx_host REPORT.json --output FILLED.xlsx [--conf DIR] [--lib-dir DIR] "
               "[--heron PROGRAM]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qx::host;
  namespace fs = std::filesystem;
  if (argc < 2) return usage();
  const fs::path self = fs::absolute(argv[0]).parent_path();
  std::string report;
  RunOptions options;
  // Installed, the exporters sit beside the host; run from a build tree, where the build put them.
  const bool inBuildTree = *QX_HOST_HERON && fs::exists(QX_HOST_HERON);
  options.libraryDir = inBuildTree ? fs::path(QX_HOST_LIBRARY_DIR) : self / "../lib";
  options.heronProgram = inBuildTree ? fs::path(QX_HOST_HERON) : self / "heron";
  options.confDir = std::getenv("QX_CONF_DIR") ? fs::path(std::getenv("QX_CONF_DIR"))
                                               : fs::temp_directory_path() / "qx_conf";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--output" && hasValue) {
      options.workbook = fs::absolute(argv[++i]);
    } else if (arg == "--conf" && hasValue) {
      options.confDir = fs::absolute(argv[++i]);
    } else if (arg == "--lib-dir" && hasValue) {
      options.libraryDir = argv[++i];
    } else if (arg == "--heron" && hasValue) {
      options.heronProgram = argv[++i];
    } else if (report.empty() && arg.rfind("--", 0) != 0) {
      report = arg;
    } else {
      return usage();
    }
  }
  if (report.empty() || options.workbook.empty()) return usage();

  try {
    const Description description = loadDescription(report);
    const auto start = std::chrono::steady_clock::now();
    const RunResult result = runReport(description, options);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s\t%d\t%.3f\t%s\n", description.exporter.c_str(), result.records, seconds,
                options.workbook.c_str());
    return result.exitCode;
  } catch (const DescriptionError& error) {
    std::fprintf(stderr, "qx_host: %s\n", error.what());
    return 3;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "qx_host: %s\n", error.what());
    return 4;
  }
}
