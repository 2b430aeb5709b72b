#pragma once
// The engine keeps file names as UTF-8 text; the file system takes them as paths of its own
// (wide characters on Windows, bytes elsewhere).

#include <filesystem>
#include <string>
#include <string_view>

namespace qx::engine {

inline std::filesystem::path filePath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string pathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace qx::engine
