#include "host/conf_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace qx::host {

namespace fs = std::filesystem;

ConfFolder::ConfFolder() : private_(true) {
  std::string pattern = (fs::temp_directory_path() / "qx_host-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a private configuration folder in " +
                             fs::temp_directory_path().string() + ": " + std::strerror(errno));
  }
  path_ = pattern;
}

ConfFolder::ConfFolder(const fs::path& folder) : path_(fs::absolute(folder)) {
  const fs::path lockFile = path_ / ".qx_host.lock";
  lock_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock_ < 0) {
    throw std::runtime_error("cannot lock the configuration folder " + path_.string() + ": " +
                             std::strerror(errno));
  }
  while (::flock(lock_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(lock_);
      throw std::runtime_error("cannot lock the configuration folder " + path_.string() + ": " +
                               std::strerror(errno));
    }
  }
}

ConfFolder::~ConfFolder() {
  if (private_) {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  if (lock_ >= 0) ::close(lock_);  // closing releases the lock
}

void ConfFolder::provideLanguageFile(const fs::path& installed) const {
  const fs::path target = path_ / "lang" / "pinebrook_exe.txt";
  std::error_code error;
  if (fs::exists(fs::symlink_status(target, error)) || !fs::exists(installed, error)) return;
  fs::create_directories(target.parent_path(), error);
  fs::copy_file(installed, target, fs::copy_options::skip_existing, error);
}

}  // namespace qx::host
