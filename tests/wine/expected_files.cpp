#include "tests/wine/expected_files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qx::wine {

std::filesystem::path expectedLogPath(const Report& report) {
  std::string folder = QX_WINE_EXPECTED_DIR;
#ifdef _WIN32
  // The source tree's Unix path, seen through drive Z:.
  if (!folder.empty() && folder[0] == '/') folder = "Z:" + folder;
#endif
  return std::filesystem::path(folder) / (report.name + ".log");
}

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeWholeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

std::string expectedMessageLog(const Report& report) {
  std::string text;
  for (const std::string& message : report.messages) text += message + "\n";
  return text;
}

}  // namespace qx::wine
