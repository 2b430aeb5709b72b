#include "engine/save_file_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace qx::engine {

int SaveFileSystem::createTemporary(std::string& pathTemplate) {
  return ::mkostemp(pathTemplate.data(), O_CLOEXEC);
}

ssize_t SaveFileSystem::writeAt(int fd, const void* data, std::size_t size, off_t offset) {
  ssize_t written;
  do {
    written = ::pwrite(fd, data, size, offset);
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

namespace {
SaveFileSystem realFileSystem;
std::atomic<SaveFileSystem*> current{&realFileSystem};
}  // namespace

SaveFileSystem& saveFileSystem() {
  return *current.load();
}

ScopedSaveFileSystem::ScopedSaveFileSystem(SaveFileSystem& replacement)
    : previous_(current.exchange(&replacement)) {}

ScopedSaveFileSystem::~ScopedSaveFileSystem() {
  current.store(previous_);
}

}  // namespace qx::engine
