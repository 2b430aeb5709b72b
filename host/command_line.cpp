#include "host/command_line.h"

#ifndef QX_VERSION
#define QX_VERSION "unknown"
#endif

namespace qx::host {

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      line.help = true;
      return line;
    }
    if (arg == "--version") {
      line.version = true;
      return line;
    }
    const bool takesValue =
        arg == "--output" || arg == "-o" || arg == "--conf" || arg == "--lib-dir";
    if (takesValue) {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        throw UsageError{arg + " needs a value"};
      }
      const std::filesystem::path value = args[++i];
      if (arg == "--conf") {
        line.conf = value;
      } else if (arg == "--lib-dir") {
        line.libDir = value;
      } else {
        line.output = value;
      }
    } else if (arg.starts_with("-") && arg != "-") {
      throw UsageError{"unknown option " + arg};
    } else if (line.report.empty()) {
      line.report = arg;
    } else {
      throw UsageError{"one report description at a time (also got " + arg + ")"};
    }
  }
  if (line.report.empty()) throw UsageError{"name the report description (REPORT.json)"};
  if (line.output.empty()) throw UsageError{"name the workbook to write with --output"};
  return line;
}

std::string helpText() {
  return R"(usage: qx_host REPORT.json --output FILLED.xlsx [--conf DIR] [--lib-dir DIR]

Fills one report: hands the report description REPORT.json to its exporter the way the
calculation program does, and writes the filled workbook to FILLED.xlsx. The template is
never changed. docs/report-descriptions.md (installed under share/doc/qx-exporters/) says
what every field of a description means.

options:
  -o, --output FILE  the filled workbook to write; replaced only when the report is filled
                     and saved, otherwise left as it was (or not created)
  --conf DIR         the configuration folder handed to the exporters (data files in temp/,
                     the language file in lang/). Default: $QX_CONF_DIR when set, else a
                     private folder made for this run in $TMPDIR (or /tmp) and removed after
                     it. A named folder is locked for the run: runs sharing it wait in turn.
                     tamarack's language file is copied into lang/ from the installation
                     when the folder has none; a file already there is used as it is.
  --lib-dir DIR      the folder of the exporters (libvellum.so, libvellum_x.so,
                     libkestrel.so, libtamarack.so and the heron program). Default: lib/qx
                     beside the folder of this program (bin/../lib/qx)
  -h, --help         print this help and exit 0
  --version          print the version and exit 0

environment:
  QX_CONF_DIR        the configuration folder when --conf is not given
  QX_MESSAGE_LOG     a file to which every message the exporter showed is appended, one
                     UTF-8 line each
  TMPDIR             where the private configuration folder is made

On success one line goes to standard output: exporter, records, seconds and the workbook,
separated by tabs. Messages of the exporter and of the host go to standard error. On a
terminal, reports of 10000 records or more also show their progress there.

exit codes:
  0  the exporter filled and saved the report; FILLED.xlsx holds it
  1  an unforeseen failure of the host itself
  2  the command line is wrong
  3  the report description is refused (the message names the field and its line);
     nothing was called
  4  a file or folder named by the user cannot be used (the template, the picture, a row's
     picture_path, --output, --conf or $QX_CONF_DIR, --lib-dir, $TMPDIR); nothing was
     called
  5  the exporter refused or failed the report: the messages it showed are printed, and
     FILLED.xlsx is not written

example:
  qx_host examples/kestrel/report.json --output out/kestrel.xlsx
)";
}

std::string versionText() {
  return std::string("qx_host (qx exporters) ") + QX_VERSION + "\n";
}

}  // namespace qx::host
