#include "engine/replacement_file.h"

#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "engine/engine_error.h"
#include "engine/save_file_system.h"

namespace qx::engine {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMarker = ".qx-saving-";
constexpr std::size_t kRandomLength = 6;  // mkostemp's XXXXXX

std::string reason(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

// Eight hex digits of the host name: the pid of a copy means something only on the machine
// that wrote it, and a folder may be shared between machines.
const std::string& machineTag() {
  static const std::string tag = [] {
    char host[HOST_NAME_MAX + 1] = {};
    ::gethostname(host, sizeof host - 1);
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (const char* c = host; *c != '\0'; ++c) {
      hash = (hash ^ static_cast<unsigned char>(*c)) * 16777619u;
    }
    char text[9];
    std::snprintf(text, sizeof text, "%08x", hash);
    return std::string(text);
  }();
  return tag;
}

std::string folderOf(const fs::path& target) {
  return target.parent_path().empty() ? std::string(".") : target.parent_path().string();
}

// The target's name, shortened when needed so that the copy's name stays within NAME_MAX.
std::string stemOf(const fs::path& target) {
  const std::size_t room = NAME_MAX - (1 + kMarker.size() + 10 + 1 + 8 + 1 + kRandomLength);
  std::string name = target.filename().string();
  if (name.size() > room) name.resize(room);
  return name;
}

bool processIsGone(pid_t pid) {
  return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Copies of `target` whose writer of this machine no longer runs. A live writer's copy, or one
// written on another machine, is never touched.
void removeAbandonedCopies(const fs::path& target) {
  std::string begin(1, '.');
  begin.append(stemOf(target)).append(kMarker);
  std::string machine(1, '-');
  machine.append(machineTag()).append(1, '-');
  std::error_code error;
  for (fs::directory_iterator it(folderOf(target), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, begin.size(), begin) != 0) continue;
    std::size_t at = begin.size();
    long long pid = 0;
    while (at < name.size() && at - begin.size() < 10 && name[at] >= '0' && name[at] <= '9') {
      pid = pid * 10 + (name[at++] - '0');
    }
    if (pid > std::numeric_limits<pid_t>::max()) continue;
    if (at == begin.size() || name.compare(at, machine.size(), machine) != 0) continue;
    if (name.size() != at + machine.size() + kRandomLength) continue;
    if (processIsGone(static_cast<pid_t>(pid))) saveFileSystem().remove(it->path().string());
  }
}

}  // namespace

std::string replacementPrefix(const std::string& target, pid_t pid) {
  std::string prefix(1, '.');
  prefix.append(stemOf(target)).append(kMarker).append(std::to_string(pid));
  prefix.append(1, '-').append(machineTag()).append(1, '-');
  return prefix;
}

ReplacementFile::ReplacementFile(const std::string& target)
    : target_(target), directory_(folderOf(target)) {
  removeAbandonedCopies(target);
  path_ = (fs::path(directory_) / replacementPrefix(target, ::getpid())).string() +
          std::string(kRandomLength, 'X');
  fd_ = saveFileSystem().createTemporary(path_);
  if (fd_ < 0) {
    const int error = errno;
    path_.clear();
    throw EngineError(reason("cannot create a file beside it to save into", error));
  }
  // A copy is created private; the saved file keeps the permissions the old one had.
  struct stat old;
  if (::stat(target.c_str(), &old) == 0) ::fchmod(fd_, old.st_mode & 07777);
}

ReplacementFile::~ReplacementFile() {
  if (fd_ >= 0) saveFileSystem().close(fd_);
  if (!placed_ && !path_.empty()) saveFileSystem().remove(path_);
}

void ReplacementFile::writeAt(std::uint64_t offset, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = saveFileSystem().writeAt(fd_, data, size, static_cast<off_t>(offset));
    if (written <= 0) {
      // A write that takes nothing without an error would repeat for ever.
      throw EngineError(reason("cannot write the new copy", written < 0 ? errno : EIO));
    }
    data += written;
    size -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
}

void ReplacementFile::finish() {
  if (saveFileSystem().sync(fd_) != 0) {
    throw EngineError(reason("cannot flush the new copy to disk", errno));
  }
  const int fd = fd_;
  fd_ = -1;
  // Network file systems report a failed write as late as this.
  if (saveFileSystem().close(fd) != 0)
    throw EngineError(reason("cannot write the new copy", errno));
}

void ReplacementFile::replaceTarget() {
  if (saveFileSystem().rename(path_, target_) != 0) {
    throw EngineError(reason("cannot put the new copy in the file's place", errno));
  }
  placed_ = true;
  saveFileSystem().syncDirectory(directory_);
}

}  // namespace qx::engine
