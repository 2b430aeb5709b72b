#include "tests/support/corpus.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace qx::testing {

namespace fs = std::filesystem;

namespace {
constexpr std::string_view kMissing = "corpus-folder-missing";
}  // namespace

fs::path corpusFolder() {
  const char* chosen = std::getenv("QX_CORPUS_DIR");
  return chosen != nullptr && *chosen != '\0' ? fs::path(chosen) : fs::path(QX_CORPUS_DEFAULT);
}

std::vector<std::string> corpusFiles(bool workbooksOnly) {
  std::error_code error;
  if (!fs::is_directory(corpusFolder(), error)) return {std::string(kMissing)};
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(corpusFolder(), error)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    if (workbooksOnly && (name.starts_with("broken-") || name.starts_with("odd-"))) continue;
    if (name.ends_with(".xlsx") || name.ends_with(".xlsm") || name.ends_with(".xltx")) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

fs::path corpusFile(std::string_view name) {
  const fs::path folder = corpusFolder();
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    throw std::runtime_error("the corpus folder " + folder.string() +
                             " is missing (set QX_CORPUS_DIR to where it is)");
  }
  const fs::path path = folder / std::string(name);
  if (!fs::exists(path, error)) {
    throw std::runtime_error("the corpus folder " + folder.string() + " has no " +
                             std::string(name));
  }
  return path;
}

}  // namespace qx::testing
