#include "host/conf_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/user_files.h"

namespace qx::host {

namespace fs = std::filesystem;

ConfFolder::ConfFolder() : private_(true) {
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  const char* named = std::getenv("TMPDIR");
  const fs::path shown = named && *named ? fs::path(named) : fs::path("/tmp");
  if (error) throw UserFileError("TMPDIR", shown, "is not a folder");
  std::string pattern = (base / "qx_host-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw UserFileError(
        "TMPDIR", shown,
        std::string("no private configuration folder can be made there: ") + std::strerror(errno));
  }
  path_ = pattern;
}

ConfFolder::ConfFolder(const std::string& name, const fs::path& folder)
    : path_(fs::absolute(folder)) {
  const fs::path lockFile = path_ / ".qx_host.lock";
  lock_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock_ < 0) {
    throw UserFileError(name, folder, std::string("cannot be locked: ") + std::strerror(errno));
  }
  if (::flock(lock_, LOCK_EX | LOCK_NB) == 0) return;
  if (::isatty(STDERR_FILENO)) {
    std::fprintf(stderr, "qx_host: waiting for another run using %s\n", path_.c_str());
  }
  while (::flock(lock_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      const int reason = errno;
      ::close(lock_);
      throw UserFileError(name, folder, std::string("cannot be locked: ") + std::strerror(reason));
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
