#pragma once
// The check-point export: reads the data file, fills the template workbook in the spreadsheet
// server, places the picture and saves. Every failure is told to the user in one message.

#include <filesystem>
#include <functional>
#include <string>

#include "platform/messages.h"
#include "report/run_outcome.h"

namespace qx::heron {

// The files one run uses.
struct RunFiles {
  std::filesystem::path dataFile;
  std::string picture;  // code page 936, as the server receives it
  // Called just before each opening of the data file (1, then 2). The run reads the header
  // twice; tests change or remove the file between the two readings through this.
  std::function<void(int opening)> beforeOpeningDataFile;
  // Whether the body records are read on a thread of their own while the fill writes.
  bool readAhead = true;
};

// The fixed files: check_point_temp.dat and set_check_point_pictrue.bmp in the temp folder of
// the configuration directory.
RunFiles fixedRunFiles();

// The process exit code for a run's end: 2 after a failure in the middle (a failed call), 0
// otherwise.
int exitCodeFor(report::Outcome outcome);

// One export. Releases every reference it obtained (the Application last), closes the data
// file and uninitialises COM (when it initialised it) on every path before returning.
report::Outcome runCheckPointExport(const RunFiles& files, platform::Messages& messages);

}  // namespace qx::heron
