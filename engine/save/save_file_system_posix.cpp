#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "engine/save/save_file_system.h"

namespace qx::engine {

int SaveFileSystem::createTemporary(std::string& pathTemplate) {
  return ::mkostemp(pathTemplate.data(), O_CLOEXEC);
}

ssize_t SaveFileSystem::writeAt(int fd, const void* data, std::size_t size, std::int64_t offset) {
  ssize_t written;
  do {
    written = ::pwrite(fd, data, size, static_cast<off_t>(offset));
  } while (written < 0 && errno == EINTR);
  return written;
}

int SaveFileSystem::sync(int fd) {
  return ::fsync(fd);
}

int SaveFileSystem::syncDirectory(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  const int status = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  errno = error;
  return status;
}

int SaveFileSystem::close(int fd) {
  return ::close(fd);
}

int SaveFileSystem::rename(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str());
}

int SaveFileSystem::remove(const std::string& path) {
  return ::unlink(path.c_str());
}

pid_t currentProcessId() {
  return ::getpid();
}

bool processIsGone(pid_t pid) {
  return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

std::string machineName() {
  char host[HOST_NAME_MAX + 1] = {};
  ::gethostname(host, sizeof host - 1);
  return host;
}

void copyPermissions(const std::string& target, int fd) {
  struct stat old;
  if (::stat(target.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
}

}  // namespace qx::engine
