#pragma once
// What qx_host's exit code tells a script. Listed in --help and the README; keep the three in
// step.

namespace qx::host {

enum ExitCode : int {
  kFilled = 0,          // the exporter filled and saved the report; --output holds it
  kInternalError = 1,   // something the host did not foresee; the message says what
  kUsage = 2,           // the command line is wrong
  kBadDescription = 3,  // the report description is refused; nothing was called
  kUnusableFile = 4,    // a file or folder the user named cannot be used; nothing was called
  kExporterFailed = 5,  // the exporter refused or failed the report; its messages are printed
};

}  // namespace qx::host
