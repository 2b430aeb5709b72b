#include "heron/program.h"

#include <clocale>
#include <cstdio>
#include <exception>

#include "platform/code_page.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qx::heron {

platform::Messages* initializeFramework() {
  // Numbers and texts are formatted the same way whatever the user's locale says.
  if (std::setlocale(LC_ALL, "C") == nullptr) return nullptr;
#ifdef _WIN32
  // Messages and the fatal line are UTF-8; a console that is there must show them as such.
  DWORD mode = 0;
  if (GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) && !SetConsoleOutputCP(CP_UTF8)) {
    return nullptr;
  }
#endif
  // Every text of the run crosses code page 936; without a working conversion the messages
  // and cells would be garbled.
  const std::string sample = "\xD6\xD0\xCE\xC4";  // two GBK characters
  if (platform::utf16ToGbk(platform::gbkToUtf16(sample)) != sample) return nullptr;
  return &platform::systemMessages();
}

int runProgram(const std::function<platform::Messages*()>& initialize, const RunFiles& files) {
  platform::Messages* messages = initialize ? initialize() : nullptr;
  if (messages == nullptr) {
    std::fputs(kStartupFailure, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    return 1;
  }
  try {
    return exitCodeFor(runCheckPointExport(files, *messages));
  } catch (const std::exception& error) {
    // The run has released and uninitialised on its way out; nothing may leave main.
    std::fprintf(stderr, "heron: %s\n", error.what());
  } catch (...) {
    std::fputs("heron: unexpected error\n", stderr);
  }
  return 2;
}

}  // namespace qx::heron
