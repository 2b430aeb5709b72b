#include <sys/stat.h>

#include "platform/input_file.h"

namespace qx::platform {

namespace {

// A folder opens for reading here but yields no bytes; it counts as a file that cannot be
// opened, as on Windows.
std::FILE* openFile(const std::filesystem::path& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  struct stat status;
  if (fstat(fileno(file), &status) != 0 || S_ISDIR(status.st_mode)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

std::size_t readFile(std::FILE* file, void* buffer, std::size_t size) {
  return std::fread(buffer, 1, size, file);
}

void closeFile(std::FILE* file) {
  std::fclose(file);
}

}  // namespace

FileCalls systemFileCalls() {
  return {openFile, readFile, closeFile};
}

}  // namespace qx::platform
