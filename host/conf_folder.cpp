#include "host/conf_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "host/interruption.h"
#include "host/leftovers.h"
#include "host/user_files.h"

namespace qx::host {

namespace fs = std::filesystem;

namespace {

// Who holds the lock, as the holder wrote it into the lock file.
std::string holderOf(int lock) {
  char text[32] = {};
  const ssize_t read = ::pread(lock, text, sizeof text - 1, 0);
  long pid = 0;
  if (read > 0 && std::sscanf(text, "%ld", &pid) == 1 && pid > 0) {
    return "process " + std::to_string(pid);
  }
  return "another process";
}

std::string secondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

}  // namespace

ConfFolder::ConfFolder() : private_(true) {
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  const char* named = std::getenv("TMPDIR");
  const fs::path shown = named && *named ? fs::path(named) : fs::path("/tmp");
  if (error) throw UserFileError("TMPDIR", shown, "is not a folder");
  removeDeadPrivateFolders(base);
  std::string pattern = (base / (privateFolderPrefix(::getpid()) + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw UserFileError(
        "TMPDIR", shown,
        std::string("no private configuration folder can be made there: ") + std::strerror(errno));
  }
  path_ = pattern;
  Interruption::setPrivateFolder(path_);
}

ConfFolder::ConfFolder(const std::string& name, const fs::path& folder,
                       std::optional<double> waitSeconds)
    : path_(fs::absolute(folder)) {
  const fs::path lockFile = path_ / ".qx_host.lock";
  lock_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock_ < 0) {
    throw UserFileError(name, folder, std::string("cannot be locked: ") + std::strerror(errno));
  }
  const auto fail = [&](const std::string& what) {
    ::close(lock_);
    lock_ = -1;
    throw UserFileError(name, folder, what);
  };
  if (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) fail(std::string("cannot be locked: ") + std::strerror(errno));
    std::fprintf(stderr, "qx_host: waiting for %s, held by %s\n", path_.c_str(),
                 holderOf(lock_).c_str());
    if (waitSeconds) {
      const auto deadline =
          std::chrono::steady_clock::now() + std::chrono::duration<double>(*waitSeconds);
      while (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
          fail(std::string("cannot be locked: ") + std::strerror(errno));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
          fail("is still held by " + holderOf(lock_) + " after " + secondsText(*waitSeconds) +
               " seconds (--wait); gave up");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    } else {
      while (::flock(lock_, LOCK_EX) != 0) {
        if (errno != EINTR) fail(std::string("cannot be locked: ") + std::strerror(errno));
      }
    }
  }
  // Whoever waits next can say who holds the folder.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(lock_, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(lock_, pid.data(), pid.size(), 0);
  }
}

ConfFolder::~ConfFolder() {
  if (private_) {
    removeTree(path_);
    Interruption::clearPrivateFolder();
  }
  if (lock_ >= 0) {
    [[maybe_unused]] const int emptied = ::ftruncate(lock_, 0);
    ::close(lock_);  // closing releases the lock
  }
}

void ConfFolder::provideLanguageFile(const fs::path& installed) const {
  const fs::path target = path_ / "lang" / "pinebrook_exe.txt";
  std::error_code error;
  if (fs::exists(fs::symlink_status(target, error)) || !fs::exists(installed, error)) return;
  fs::create_directories(target.parent_path(), error);
  fs::copy_file(installed, target, fs::copy_options::skip_existing, error);
}

}  // namespace qx::host
