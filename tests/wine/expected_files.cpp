#include "tests/wine/expected_files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/code_page.h"

namespace qx::testing {

namespace fs = std::filesystem;

fs::path treePath(std::string unixPath) {
#ifdef _WIN32
  if (!unixPath.empty() && unixPath[0] == '/') unixPath = "Z:" + unixPath;
#endif
  return fs::path(unixPath);
}

std::filesystem::path expectedLogPath(const Report& report) {
  return treePath(QX_WINE_EXPECTED_DIR) / (report.name + ".log");
}

namespace {
fs::path placeholderPath(const PreparedReport& prepared, std::string_view placeholder) {
  for (const auto& [path, name] : prepared.paths) {
    if (name == placeholder) {
      const std::u16string wide = platform::utf8ToUtf16(path);
      return fs::path(wide.begin(), wide.end());
    }
  }
  return {};
}

const char* exampleFolder(Deliverable deliverable) {
  return deliverable == Deliverable::VellumX ? "vellum" : deliverableName(deliverable);
}
}  // namespace

fs::path templateOf(const PreparedReport& prepared) {
  return placeholderPath(prepared, "<template>");
}

void useExampleFiles(const Report& report, const PreparedReport& prepared) {
  const fs::path examples = treePath(QX_EXAMPLES_DIR);
  const std::pair<fs::path, fs::path> files[] = {
      {templateOf(prepared), examples / exampleFolder(report.deliverable) / "template.xlsx"},
      {placeholderPath(prepared, "<picture>"), examples / "picture.bmp"}};
  for (const auto& [standIn, example] : files) {
    // A file the report left missing on purpose stays missing.
    if (standIn.empty() || !fs::exists(standIn)) continue;
    fs::copy_file(example, standIn, fs::copy_options::overwrite_existing);
  }
}

fs::path freshSavedCopyPath(const fs::path& folder, const Report& report) {
  const fs::path copy = folder / deliverableName(report.deliverable) / (report.name + ".xlsx");
  fs::create_directories(copy.parent_path());
  fs::remove(copy);
  return copy;
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

}  // namespace qx::testing
