#include <sys/stat.h>

#include "platform/input_file.h"

namespace qx::platform {

// Wide names reach every path. The system refuses to open a folder; the check after opening
// holds that under every C runtime.
std::FILE* openSystemFile(const std::filesystem::path& path) {
  std::FILE* file = _wfopen(path.wstring().c_str(), L"rb");
  if (file == nullptr) return nullptr;
  struct _stat64 status;
  if (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFDIR) != 0) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

}  // namespace qx::platform
