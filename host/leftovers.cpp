#include "host/leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace qx::host {

namespace fs = std::filesystem;

namespace {

// The id in `name` after `prefix` ("<pid>-<tag>-"), or -1 when `name` is not made that way by
// this machine.
pid_t idAfter(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix)) return -1;
  std::size_t at = prefix.size();
  long long pid = 0;
  const std::size_t digits = at;
  while (at < name.size() && at - digits < 10 && name[at] >= '0' && name[at] <= '9') {
    pid = pid * 10 + (name[at++] - '0');
  }
  if (at == digits || pid <= 0 || pid > INT_MAX) return -1;
  const std::string& tag = machineTag();
  if (name.size() < at + tag.size() + 2 || name[at] != '-' ||
      name.compare(at + 1, tag.size(), tag) != 0 || name[at + 1 + tag.size()] != '-') {
    return -1;
  }
  return static_cast<pid_t>(pid);
}

// Removes `name` in the folder `dir` and, for a folder, everything in it; only system calls.
void removeAt(int dir, const char* name, int depth) {
  if (::unlinkat(dir, name, 0) == 0 || errno != EISDIR || depth > 8) return;
  const int inner = ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (inner >= 0) {
    DIR* entries = ::fdopendir(inner);
    if (entries != nullptr) {
      while (const dirent* entry = ::readdir(entries)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        removeAt(::dirfd(entries), entry->d_name, depth + 1);
      }
      ::closedir(entries);
    } else {
      ::close(inner);
    }
  }
  ::unlinkat(dir, name, AT_REMOVEDIR);
}

// Calls `take(name)` for each entry of `folder`.
template <class Take>
void forEachEntry(const fs::path& folder, Take take) {
  DIR* entries = ::opendir(folder.c_str());
  if (entries == nullptr) return;
  while (const dirent* entry = ::readdir(entries)) take(::dirfd(entries), entry->d_name);
  ::closedir(entries);
}

}  // namespace

const std::string& machineTag() {
  static const std::string tag = [] {
    char host[HOST_NAME_MAX + 1] = {};
    ::gethostname(host, sizeof host - 1);
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (const char* c = host; *c; ++c) hash = (hash ^ static_cast<unsigned char>(*c)) * 16777619u;
    char text[9];
    std::snprintf(text, sizeof text, "%08x", hash);
    return std::string(text);
  }();
  return tag;
}

std::string workingCopyName(pid_t pid, const std::string& name) {
  return ".qx-" + std::to_string(pid) + "-" + machineTag() + "-" + name;
}

std::string privateFolderPrefix(pid_t pid) {
  return "qx_host-" + std::to_string(pid) + "-" + machineTag() + "-";
}

bool processIsGone(pid_t pid) {
  return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

void removeTree(const fs::path& path) {
  removeAt(AT_FDCWD, path.c_str(), 0);
}

void removeDeadWorkingCopies(const fs::path& folder) {
  forEachEntry(folder, [](int dir, const char* name) {
    for (const std::string_view prefix : {".qx-", "..qx-"}) {
      const pid_t pid = idAfter(name, prefix);
      if (pid > 0 && processIsGone(pid)) ::unlinkat(dir, name, 0);
    }
  });
}

void removeDeadPrivateFolders(const fs::path& folder) {
  forEachEntry(folder, [](int dir, const char* name) {
    const pid_t pid = idAfter(name, "qx_host-");
    struct stat status {};
    if (pid <= 0 || !processIsGone(pid)) return;
    if (::fstatat(dir, name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::getuid()) {
      return;
    }
    removeAt(dir, name, 0);
  });
}

void removeWorkingCopiesOf(const fs::path& folder, pid_t pid) {
  forEachEntry(folder, [pid](int dir, const char* name) {
    for (const std::string_view prefix : {".qx-", "..qx-"}) {
      if (idAfter(name, prefix) == pid) ::unlinkat(dir, name, 0);
    }
  });
}

}  // namespace qx::host
