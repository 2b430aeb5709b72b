#include "platform/paths.h"

#include <cstdlib>

#include "platform/code_page.h"

namespace qx::platform {

std::filesystem::path configDirectory() {
#ifdef _WIN32
  return std::filesystem::path("D:\\qx_conf");
#else
  if (const char* dir = std::getenv("QX_CONF_DIR"); dir != nullptr && *dir != '\0') return dir;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : ".") / "qx_conf";
#endif
}

std::filesystem::path tempFile(std::string_view name) {
  return configDirectory() / "temp" / std::string(name);
}

std::filesystem::path languageFile(std::string_view name) {
  return configDirectory() / "lang" / std::string(name);
}

std::filesystem::path pathFromHostText(std::string_view gbk) {
#ifdef _WIN32
  const std::u16string wide = platform::gbkToUtf16(gbk);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
#else
  return std::filesystem::path(platform::gbkToUtf8(gbk));
#endif
}

std::string hostTextFromPath(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::wstring wide = path.wstring();
  return platform::utf16ToGbk(std::u16string(wide.begin(), wide.end()));
#else
  return platform::utf8ToGbk(path.string());
#endif
}

}  // namespace qx::platform
