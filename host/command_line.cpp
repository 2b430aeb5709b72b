#include "host/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <span>
#include <string_view>

#ifndef QX_VERSION
#define QX_VERSION "unknown"
#endif

namespace qx::host {

namespace {

enum class Option { Output, Conf, LibDir, Wait, Quiet, Json, Help, Version };

struct OptionSpec {
  Option option;
  std::string_view longName;   // "--output"
  std::string_view shortName;  // "-o", or empty
  std::string_view value;      // what the value is called in --help; empty: takes none
  std::string_view help;       // lines of --help, each at most 64 columns
};

constexpr OptionSpec kOptions[] = {
    {Option::Output, "--output", "-o", "FILE",
     "the filled workbook to write (.xlsx, .xlsm, .xltx or .xltm,\n"
     "macro-enabled exactly when the template is). Replaced only\n"
     "when the report is filled and saved, otherwise left as it was\n"
     "(or not created); a new file gets the mode the umask gives, an\n"
     "existing one keeps its mode, a symbolic link is written through.\n"
     "Its folder must exist"},
    {Option::Conf, "--conf", "", "DIR",
     "the configuration folder handed to the exporters (data files in\n"
     "temp/, the language file in lang/); it must exist. Default:\n"
     "$QX_CONF_DIR when set, else a private folder made for this run\n"
     "in $TMPDIR (or /tmp) and removed after it. A named folder is\n"
     "locked for the run: runs sharing it wait in turn, and a waiting\n"
     "run says which process holds it. tamarack's language file is\n"
     "copied into lang/ when the folder has none; a file already there\n"
     "is used as it is"},
    {Option::Wait, "--wait", "", "SECONDS",
     "give up (exit 4) when the configuration folder is still locked\n"
     "by another run after SECONDS; default: wait as long as it takes"},
    {Option::LibDir, "--lib-dir", "", "DIR",
     "the folder of the exporters (libvellum.so, libvellum_x.so,\n"
     "libkestrel.so, libtamarack.so and the heron program). Default:\n"
     "lib/qx-exporters beside the folder of this program\n"
     "(bin/../lib/qx-exporters)"},
    {Option::Quiet, "--quiet", "-q", "", "show no progress, even on a terminal"},
    {Option::Json, "--json", "", "",
     "print the summary as one JSON object instead of the tab-separated\n"
     "line (below)"},
    {Option::Help, "--help", "-h", "", "print this help and exit 0"},
    {Option::Version, "--version", "", "", "print the version and exit 0"},
};

const OptionSpec* findOption(std::string_view name) {
  for (const OptionSpec& spec : kOptions) {
    if (name == spec.longName || (!spec.shortName.empty() && name == spec.shortName)) return &spec;
  }
  return nullptr;
}

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

double secondsOf(const std::string& text) {
  double seconds = -1;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, seconds);
  if (error != std::errc() || at != end || !std::isfinite(seconds) || seconds < 0) {
    throw UsageError{"--wait takes a number of seconds (0 or more), not \"" + text + "\""};
  }
  return seconds;
}

void take(CommandLine& line, const OptionSpec& spec, const std::string& value) {
  switch (spec.option) {
    case Option::Output:
      line.output = value;
      break;
    case Option::Conf:
      line.conf = value;
      break;
    case Option::LibDir:
      line.libDir = value;
      break;
    case Option::Wait:
      line.waitSeconds = secondsOf(value);
      break;
    case Option::Quiet:
      line.quiet = true;
      break;
    case Option::Json:
      line.json = true;
      break;
    case Option::Help:
      line.help = true;
      break;
    case Option::Version:
      line.version = true;
      break;
  }
}

// The options part of --help, from the table.
std::string optionsHelp() {
  std::string text = "options:\n";
  for (const OptionSpec& spec : kOptions) {
    std::string names = "  ";
    if (!spec.shortName.empty()) names.append(spec.shortName).append(", ");
    names.append(spec.longName);
    if (!spec.value.empty()) names.append(" ").append(spec.value);
    constexpr std::size_t kHelpColumn = 22;
    std::string_view help = spec.help;
    bool first = true;
    while (!help.empty()) {
      const std::size_t end = help.find('\n');
      const std::string_view helpLine = help.substr(0, end);
      if (first && names.size() + 1 < kHelpColumn) {
        text.append(names).append(kHelpColumn - names.size(), ' ');
      } else {
        if (first) text.append(names).append("\n");
        text.append(kHelpColumn, ' ');
      }
      text.append(helpLine).append("\n");
      first = false;
      help = end == std::string_view::npos ? std::string_view() : help.substr(end + 1);
    }
  }
  return text;
}

}  // namespace

bool hasWorkbookSuffix(const std::filesystem::path& path) {
  const std::string suffix = lowered(path.extension().string());
  return suffix == ".xlsx" || suffix == ".xlsm" || suffix == ".xltx" || suffix == ".xltm";
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  std::vector<Option> given;
  bool reportGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool option = arg.size() > 1 && arg[0] == '-';
    if (!option) {
      if (reportGiven) throw UsageError{"one report description at a time (also got " + arg + ")"};
      reportGiven = true;
      line.report = arg;
      line.reportFromInput = arg == "-";
      if (arg.empty()) throw UsageError{"the report description's name is empty"};
      continue;
    }
    const std::size_t equals = arg.starts_with("--") ? arg.find('=') : std::string::npos;
    const std::string name = arg.substr(0, equals);
    const OptionSpec* spec = findOption(name);
    if (spec == nullptr) throw UsageError{"unknown option " + name};
    if (std::find(given.begin(), given.end(), spec->option) != given.end()) {
      throw UsageError{std::string(spec->longName) + " is given twice"};
    }
    given.push_back(spec->option);
    std::string value;
    if (spec->value.empty()) {
      if (equals != std::string::npos) throw UsageError{name + " takes no value"};
    } else if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    }
    if (!spec->value.empty() && value.empty()) throw UsageError{name + " needs a value"};
    take(line, *spec, value);
  }
  if (line.help || line.version) return line;
  if (!reportGiven)
    throw UsageError{"name the report description (REPORT.json, or - for standard input)"};
  if (line.output.empty()) throw UsageError{"name the workbook to write with --output"};
  if (!hasWorkbookSuffix(line.output)) {
    throw UsageError{"--output " + line.output.string() +
                     ": a filled workbook ends in .xlsx, .xlsm, .xltx or .xltm"};
  }
  return line;
}

std::string helpText() {
  return std::string(R"(Usage: qx_host REPORT.json --output FILLED.xlsx [OPTION]...

Fills one report: hands the report description REPORT.json (- reads it from standard
input, relative file names then taken from the current folder) to its exporter the way
the calculation program does, and writes the filled workbook to FILLED.xlsx. The template
is never changed. Everything the host can know is wrong is refused before an exporter is
called. docs/report-descriptions.md (installed under share/doc/qx-exporters/) says what
every field of a description means.

)") + optionsHelp() +
         R"(
environment:
  QX_CONF_DIR         the configuration folder when --conf is not given
  QX_MESSAGE_LOG      a file to which every message the exporter showed is appended, one
                      UTF-8 line each, after a time stamp and the run's process id
                      ("2026-12-08T12:00:00Z qx_host[4711]: ..."); a file that cannot be
                      written is told once
  TMPDIR              where the private configuration folder is made

output:
  On success one line goes to standard output: exporter, records, seconds and the
  workbook, separated by tabs. seconds is the wall time of the whole run, from the start
  of qx_host until FILLED.xlsx holds the report: reading the description, the checks,
  the export call and its save. With --json the line is one JSON object instead:
  {"exporter", "records", "seconds" (as above), "export_seconds" (the export call
  alone: the exporter's fill and save), "output"}. Messages of the exporter and of the
  host go to standard error. On a terminal, unless --quiet, a report of 10,000 records
  or more, or one that takes longer than a moment, shows a progress bar there (records
  done, percent, time left).

signals:
  SIGINT, SIGTERM and SIGHUP stop the run: the working copy beside FILLED.xlsx and the
  private configuration folder are removed, FILLED.xlsx stays as it was, and the exit
  code is 128 + the signal's number. What a run killed outright left behind is removed
  by the next run to the same folder.

exit codes:
  0  the exporter filled and saved the report; FILLED.xlsx holds it
  1  an unforeseen failure of the host itself
  2  the command line is wrong (FILLED.xlsx must end in .xlsx, .xlsm, .xltx or .xltm
     and be macro-enabled exactly when the template is)
  3  the report description is refused (the message names the field and its line);
     nothing was called
  4  a file or folder named by the user cannot be used (REPORT is handled under 3; the
     template, the picture, a row's picture_path, --output, --conf or $QX_CONF_DIR,
     --lib-dir, $TMPDIR), or the configuration folder stayed locked past --wait;
     nothing was called
  5  the exporter refused or failed the report: the messages it showed are printed, and
     FILLED.xlsx is not written
  128+N  stopped by signal N (see signals)

example:
  qx_host examples/kestrel/report.json --output out/kestrel.xlsx
)";
}

std::string versionText() {
  return std::string("qx_host (qx exporters) ") + QX_VERSION + "\n";
}

}  // namespace qx::host
