#include "platform/messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "platform/code_page.h"
#endif

namespace qx::platform {

void appendToMessageLog(std::string_view text) {
  const char* path = std::getenv("QX_MESSAGE_LOG");
  if (path == nullptr || *path == '\0') return;
  if (std::FILE* log = std::fopen(path, "ab")) {
    std::fwrite(text.data(), 1, text.size(), log);
    std::fputc('\n', log);
    std::fclose(log);
  }
}

namespace {
class SystemMessages final : public Messages {
 public:
  void show(std::string_view text, Buttons buttons) override {
    appendToMessageLog(text);
#ifdef _WIN32
    const std::u16string wide = platform::utf8ToUtf16(text);
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(wide.c_str()), L"qx",
                (buttons == Buttons::OkCancel ? MB_OKCANCEL : MB_OK) | MB_ICONINFORMATION);
#else
    (void)buttons;
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
#endif
  }
};
}  // namespace

Messages& systemMessages() {
  static SystemMessages instance;
  return instance;
}

std::string format(const char* pattern, ...) {
  va_list arguments;
  va_start(arguments, pattern);
  va_list copy;
  va_copy(copy, arguments);
  const int length = std::vsnprintf(nullptr, 0, pattern, copy);
  va_end(copy);
  std::string out;
  if (length > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), pattern, arguments);
    out.assign(buffer.data(), static_cast<std::size_t>(length));
  }
  va_end(arguments);
  return out;
}

}  // namespace qx::platform
