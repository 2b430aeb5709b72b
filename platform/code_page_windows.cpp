// GBK <-> UTF-16 through the ANSI code page of the calling thread, as the host sees it on Windows:
// a host that sets a thread locale of its own hands over texts in that locale's code page.
#include <windows.h>

#include "platform/code_page.h"

namespace qx::platform {

std::u16string gbkToUtf16(std::string_view gbk) {
  std::u16string out;
  gbkToUtf16(gbk, out);
  return out;
}

void gbkToUtf16(std::string_view gbk, std::u16string& out) {
  out.clear();
  if (gbk.empty()) return;
  const int length =
      MultiByteToWideChar(CP_THREAD_ACP, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  out.resize(static_cast<std::size_t>(length));
  MultiByteToWideChar(CP_THREAD_ACP, 0, gbk.data(), static_cast<int>(gbk.size()),
                      reinterpret_cast<wchar_t*>(out.data()), length);
}

std::string utf16ToGbk(std::u16string_view text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = WideCharToMultiByte(CP_THREAD_ACP, 0, wide, static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_THREAD_ACP, 0, wide, static_cast<int>(text.size()), out.data(), length,
                      nullptr, nullptr);
  return out;
}

}  // namespace qx::platform
