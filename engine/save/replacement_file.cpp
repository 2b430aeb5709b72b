#include "engine/save/replacement_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "engine/save/engine_error.h"
#include "engine/save/file_path.h"
#include "engine/save/save_file_system.h"

namespace qx::engine {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMarker = ".qx-saving-";
constexpr std::size_t kRandomLength = 6;  // mkostemp's XXXXXX
// The longest name of a file: 255 bytes on Linux, 255 UTF-16 units on Windows, which a name
// of 255 UTF-8 bytes never exceeds.
constexpr std::size_t kNameMax = 255;

std::string reason(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

// Eight hex digits of the host name: the pid of a copy means something only on the machine
// that wrote it, and a folder may be shared between machines.
const std::string& machineTag() {
  static const std::string tag = [] {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (const char c : machineName()) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    char text[9];
    std::snprintf(text, sizeof text, "%08x", hash);
    return std::string(text);
  }();
  return tag;
}

std::string folderOf(const std::string& target) {
  const fs::path folder = filePath(target).parent_path();
  return folder.empty() ? std::string(".") : pathText(folder);
}

// The target's name, shortened when needed so that the copy's name stays within the longest
// name a file may have; never inside a UTF-8 character.
std::string stemOf(const std::string& target) {
  const std::size_t room = kNameMax - (1 + kMarker.size() + 10 + 1 + 8 + 1 + kRandomLength);
  std::string name = pathText(filePath(target).filename());
  if (name.size() > room) {
    std::size_t end = room;
    while (end > room - 3 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    name.resize(end);
  }
  return name;
}

// Copies of `target` whose writer of this machine no longer runs. A live writer's copy, or one
// written on another machine, is never touched.
void removeAbandonedCopies(const std::string& target) {
  std::string begin(1, '.');
  begin.append(stemOf(target)).append(kMarker);
  std::string machine(1, '-');
  machine.append(machineTag()).append(1, '-');
  std::error_code error;
  for (fs::directory_iterator it(filePath(folderOf(target)), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = pathText(it->path().filename());
    if (name.compare(0, begin.size(), begin) != 0) continue;
    std::size_t at = begin.size();
    long long pid = 0;
    while (at < name.size() && at - begin.size() < 10 && name[at] >= '0' && name[at] <= '9') {
      pid = pid * 10 + (name[at++] - '0');
    }
    if (pid > std::numeric_limits<pid_t>::max()) continue;
    if (at == begin.size() || name.compare(at, machine.size(), machine) != 0) continue;
    if (name.size() != at + machine.size() + kRandomLength) continue;
    if (processIsGone(static_cast<pid_t>(pid))) saveFileSystem().remove(pathText(it->path()));
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
  path_ = pathText(filePath(directory_) / filePath(replacementPrefix(target, currentProcessId()))) +
          std::string(kRandomLength, 'X');
  fd_ = saveFileSystem().createTemporary(path_);
  if (fd_ < 0) {
    const int error = errno;
    path_.clear();
    throw EngineError(reason("cannot create a file beside it to save into", error));
  }
  // A copy is created private; the saved file keeps the permissions the old one had.
  copyPermissions(target, fd_);
}

ReplacementFile::~ReplacementFile() {
  if (fd_ >= 0) saveFileSystem().close(fd_);
  if (!placed_ && !path_.empty()) saveFileSystem().remove(path_);
}

void ReplacementFile::writeAt(std::uint64_t offset, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written =
        saveFileSystem().writeAt(fd_, data, size, static_cast<std::int64_t>(offset));
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
