// qx_host: runs a described report through its exporter, as the calculation program would.
// `qx_host --help` describes the options and the exit codes.

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/command_line.h"
#include "host/conf_folder.h"
#include "host/exit_codes.h"
#include "host/exporter_messages.h"
#include "host/install_layout.h"
#include "host/interruption.h"
#include "host/message_log.h"
#include "host/progress.h"
#include "host/report_runner.h"
#include "host/user_files.h"
#include "host/working_workbook.h"

namespace {

using namespace qx::host;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int fail(ExitCode code, const std::string& what) {
  std::fprintf(stderr, "qx_host: %s\n", what.c_str());
  return code;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
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

// "-": standard input, kept whole in memory as a file that can be read again (the line a
// refusal names is looked up by reading the description again). Relative names are taken
// from the current folder.
DescriptionSource descriptionSource(const CommandLine& line) {
  if (!line.reportFromInput) {
    const fs::path absolute = fs::absolute(line.report);
    return {absolute, line.report.string(), absolute.parent_path()};
  }
  const int copy = ::memfd_create("qx_host-description", MFD_CLOEXEC);
  if (copy < 0) throw std::runtime_error("cannot keep standard input");
  char buffer[1 << 16];
  for (;;) {
    const ssize_t read = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) throw DescriptionError("-: standard input cannot be read");
    if (read == 0) break;
    for (ssize_t done = 0; done < read;) {
      const ssize_t written = ::write(copy, buffer + done, static_cast<std::size_t>(read - done));
      if (written <= 0) throw std::runtime_error("cannot keep standard input");
      done += written;
    }
  }
  // Left open for the run: the file is gone with the process.
  return {"/proc/self/fd/" + std::to_string(copy), "- (standard input)", fs::current_path()};
}

void printSummary(const CommandLine& line, const std::string& exporter, std::size_t records,
                  double seconds, double exportSeconds, const fs::path& output) {
  if (line.json) {
    const nlohmann::ordered_json summary = {{"exporter", exporter},
                                            {"records", records},
                                            {"seconds", seconds},
                                            {"export_seconds", exportSeconds},
                                            {"output", output.string()}};
    std::printf("%s\n", summary.dump().c_str());
  } else {
    std::printf("%s\t%zu\t%.3f\t%s\n", exporter.c_str(), records, seconds, output.c_str());
  }
}

int run(const CommandLine& line, Clock::time_point start) {
  Progress progress(!line.quiet, STDERR_FILENO);
  MessageLog log;
  progress.phase("reading the description", 0, {});
  Description description = loadDescription(descriptionSource(line));
  checkPictureUse(description);

  // Every file the user named, before anything is copied or called.
  const WorkbookKind templateKind = checkDescriptionFiles(description);
  checkOutputKind(line.output, templateKind, description.templatePath);
  const fs::path target = writtenThrough(line.output);
  WorkingWorkbook workbook(target);
  checkOutput(target, workbook.path(), description);
  const auto named = namedConfFolder(line);
  if (named) checkConfFolder(named->first, named->second);
  const InstallLayout layout = findInstallLayout(line.libDir ? &*line.libDir : nullptr);
  const fs::path exporterFile = checkExporterFile(
      line.libDir ? "--lib-dir" : "the exporters' folder (bin/../lib/qx-exporters)",
      layout.libraryDir, description.exporter);

  EncodedReport report = encodeReport(description, workbook.path());
  for (const std::string& warning : report.warnings) {
    std::fprintf(stderr, "qx_host: warning: %s\n", warning.c_str());
  }
  const std::size_t records = report.rows.size();

  const ConfFolder conf =
      named ? ConfFolder(named->first, named->second, line.waitSeconds) : ConfFolder();
  if (description.exporter == "tamarack") conf.provideLanguageFile(layout.languageFile);
  workbook.copyFrom(description.templatePath, *kindOfName(line.output));

  ExporterMessages messages(conf.path() / "temp");
  const auto exportStart = Clock::now();
  const int heronExit = handOver(
      description, report, {exporterFile, conf.path(), progress.shown() ? &progress : nullptr});
  const double exportSeconds = secondsSince(exportStart);
  progress.finish();
  std::vector<std::pair<std::string, std::string>> names = {
      {workbook.path().string(), description.templatePath.string()}};
  if (description.picture) {
    names.emplace_back(pictureCopy(description.exporter, conf.path()).string(),
                       description.picture->string());
  }
  messages.finish(names);
  log.append(messages.shown());

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
  printSummary(line, description.exporter, records, secondsSince(start), exportSeconds,
               fs::absolute(line.output));
  return kFilled;
}

}  // namespace

int main(int argc, char** argv) {
  const auto start = Clock::now();
  Interruption::install();
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
    return run(line, start);
  } catch (const UsageError& error) {
    return fail(kUsage, error.what);
  } catch (const DescriptionError& error) {
    return fail(kBadDescription, error.what());
  } catch (const UserFileError& error) {
    return fail(kUnusableFile, error.what());
  } catch (const std::exception& error) {
    return fail(kInternalError, error.what());
  }
}
