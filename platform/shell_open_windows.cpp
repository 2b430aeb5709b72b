#include "platform/shell_open.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>

#include "platform/code_page.h"

namespace qx::platform {

bool openWithAssociatedProgram(std::string_view hostPath) {
  const std::u16string path = gbkToUtf16(hostPath);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // NOASYNC: the start is over when this returns, as the caller may be a library the host
  // unloads next. NO_UI: a failure is told by the caller, once, not by a shell dialog.
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = reinterpret_cast<const wchar_t*>(path.c_str());
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) != FALSE;
}

}  // namespace qx::platform
