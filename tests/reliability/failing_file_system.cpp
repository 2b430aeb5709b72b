#include "tests/reliability/failing_file_system.h"

#include <cerrno>

namespace qx::testing {

const char* faultName(Fault fault) {
  switch (fault) {
    case Fault::Write:
      return "write";
    case Fault::Sync:
      return "fsync";
    case Fault::Rename:
      return "rename";
  }
  return "?";
}

void FailingFileSystem::failAt(Fault fault, int nth, int error) {
  fault_ = fault;
  nth_ = nth;
  error_ = error;
}

bool FailingFileSystem::failsNow(Fault fault) {
  const int n = ++counts_[static_cast<int>(fault)];
  if (fault != fault_ || n != nth_) return false;
  errno = error_;
  return true;
}

ssize_t FailingFileSystem::writeAt(int fd, const void* data, std::size_t size,
                                   std::int64_t offset) {
  if (failsNow(Fault::Write)) {
    SaveFileSystem::writeAt(fd, data, size / 2, offset);
    errno = error_;
    return -1;
  }
  return SaveFileSystem::writeAt(fd, data, size, offset);
}

int FailingFileSystem::sync(int fd) {
  return failsNow(Fault::Sync) ? -1 : SaveFileSystem::sync(fd);
}

int FailingFileSystem::syncDirectory(const std::string& path) {
  return failsNow(Fault::Sync) ? -1 : SaveFileSystem::syncDirectory(path);
}

int FailingFileSystem::rename(const std::string& from, const std::string& to) {
  return failsNow(Fault::Rename) ? -1 : SaveFileSystem::rename(from, to);
}

}  // namespace qx::testing
