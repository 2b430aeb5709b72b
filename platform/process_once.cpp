#include "platform/process_once.h"

#include <mutex>
#include <set>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include "platform/code_page.h"
#endif

namespace qx::platform {

bool claimOncePerProcess(std::string_view key) {
#ifdef _WIN32
  // Named by the process id, so that no other process shares it; left open on purpose, so that
  // it outlives this library.
  const std::string name =
      "Local\\qx-once-" + std::to_string(GetCurrentProcessId()) + "-" + std::string(key);
  const std::u16string wide = utf8ToUtf16(name);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, reinterpret_cast<const wchar_t*>(wide.c_str()));
  if (event == nullptr) return false;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(event);
    return false;
  }
  return true;
#else
  // A library here stays loaded for the rest of the process.
  static std::mutex mutex;
  static std::set<std::string, std::less<> > claimed;
  std::lock_guard lock(mutex);
  return claimed.emplace(key).second;
#endif
}

}  // namespace qx::platform
