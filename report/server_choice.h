#pragma once
// The user's choice of what answers for "Excel.Application" on Windows, read from the
// environment for every run, so that a changed setting needs no rebuild and no new process:
//   QX_SPREADSHEET_SERVER  com (the default) | embedded | auto (COM, else the embedded engine)
//   QX_OPEN_REPORT         0 | no | off | false: the engine's saved report is not opened
// Both are read case-insensitively with surrounding blanks ignored; unset or blank is the default.

#include <string>
#include <string_view>

#include "platform/messages.h"

namespace qx::report {

enum class ServerChoice { Com, Embedded, Auto };

struct ServerSetting {
  ServerChoice choice = ServerChoice::Com;
  // Open the workbook the engine saved with the program Windows associates with it.
  bool openReport = true;
  // The server value as written when it names no choice (COM is used then); else empty.
  std::string unknownChoice;
};

// The setting the two variables' values make; null stands for an unset variable.
ServerSetting parseServerSetting(const char* server, const char* openReport);

// The setting of this process's environment now.
ServerSetting serverSettingFromEnvironment();

// Tells the user, once per process however many runs follow (and whichever exporters make
// them), that the server value names no choice and COM is used. Nothing when it was known.
void tellUnknownChoiceOnce(const ServerSetting& setting, platform::Messages& messages);

}  // namespace qx::report
