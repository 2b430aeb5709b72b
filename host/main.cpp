// qx_host: runs a described report through its exporter, as the calculation program would.
// `qx_host --help` describes the options and the exit codes.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/conf_folder.h"
#include "host/exit_codes.h"
#include "host/exporter_messages.h"
#include "host/install_layout.h"
#include "host/progress.h"
#include "host/report_runner.h"
#include "host/user_files.h"
#include "host/working_workbook.h"

namespace {

using namespace qx::host;
namespace fs = std::filesystem;

int fail(ExitCode code, const std::string& what) {
  std::fprintf(stderr, "qx_host: %s\n", what.c_str());
  return code;
}

// The folder handed to the exporters: --conf, else $QX_CONF_DIR, else a private one.
std::optional<std::pair<std::string, fs::path>> namedConfFolder(const CommandLine& line) {
  if (line.conf) return std::make_pair(std::string("--conf"), *line.conf);
  const char* fromEnvironment = std::getenv("QX_CONF_DIR");
  if (fromEnvironment && *fromEnvironment) {
    return std::make_pair(std::string("QX_CONF_DIR"), fs::path(fromEnvironment));
  }
  return std::nullopt;
}

int run(const CommandLine& line) {
  Description description = loadDescription(line.report);
  checkPictureUse(description);

  // Every file the user named, before anything is copied or called.
  checkDescriptionFiles(description);
  WorkingWorkbook workbook(line.output);
  checkOutput(line.output, workbook.path(), description);
  const auto named = namedConfFolder(line);
  if (named) checkConfFolder(named->first, named->second);
  const InstallLayout layout = findInstallLayout(line.libDir ? &*line.libDir : nullptr);
  const fs::path exporterFile =
      checkExporterFile(line.libDir ? "--lib-dir" : "the exporters' folder (bin/../lib/qx)",
                        layout.libraryDir, description.exporter);

  const auto start = std::chrono::steady_clock::now();
  EncodedReport report = encodeReport(description, workbook.path());
  const int records = static_cast<int>(report.rows.size());
  const Progress progress(records);
  progress.step(std::to_string(records) + " records encoded");

  const ConfFolder conf = named ? ConfFolder(named->first, named->second) : ConfFolder();
  if (description.exporter == "tamarack") conf.provideLanguageFile(layout.languageFile);
  workbook.copyFrom(description.templatePath);

  progress.step("export running");
  ExporterMessages messages(conf.path() / "temp");
  const int heronExit = handOver(description, report, {exporterFile, conf.path()});
  std::vector<std::pair<std::string, std::string>> names = {
      {workbook.path().string(), description.templatePath.string()}};
  if (description.picture) {
    names.emplace_back(pictureCopy(description.exporter, conf.path()).string(),
                       description.picture->string());
  }
  messages.finish(names);

  const bool saved = workbook.saved();
  if (heronExit != 0 || !messages.shown().empty() || !saved) {
    std::string why = description.exporter + " did not fill the report";
    if (heronExit != 0) why += " (heron exited with " + std::to_string(heronExit) + ")";
    if (!messages.shown().empty()) {
      why += "; it showed " + std::to_string(messages.shown().size()) + " message(s), above";
    } else if (!saved) {
      why += "; it saved nothing";
    }
    return fail(kExporterFailed, why + "; " + line.output.string() + " was not written");
  }
  workbook.commit();
  progress.step("saved " + line.output.string());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s\t%d\t%.3f\t%s\n", description.exporter.c_str(), records, seconds,
              fs::absolute(line.output).c_str());
  return kFilled;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  try {
    line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::fprintf(stderr, "qx_host: %s\nTry 'qx_host --help'.\n", error.what.c_str());
    return kUsage;
  }
  if (line.help) {
    std::fputs(helpText().c_str(), stdout);
    return kFilled;
  }
  if (line.version) {
    std::fputs(versionText().c_str(), stdout);
    return kFilled;
  }
  try {
    return run(line);
  } catch (const DescriptionError& error) {
    return fail(kBadDescription, error.what());
  } catch (const UserFileError& error) {
    return fail(kUnusableFile, error.what());
  } catch (const std::exception& error) {
    return fail(kInternalError, error.what());
  }
}
