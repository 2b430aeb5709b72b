#include <sys/stat.h>

#include "platform/input_file.h"

namespace qx::platform {

// A folder opens for reading here but yields no bytes; it counts as a file that cannot be
// opened, as on Windows.
std::FILE* openSystemFile(const std::filesystem::path& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  struct stat status;
  if (fstat(fileno(file), &status) != 0 || S_ISDIR(status.st_mode)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

}  // namespace qx::platform
