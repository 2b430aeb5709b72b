// The save's file operations on Windows: the wide character file API, a flush of the file's
// buffers and a rename that replaces the file in one step and returns once it is on disk.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <random>

#include "engine/save/file_path.h"
#include "engine/save/save_file_system.h"

namespace qx::engine {

namespace {

// The nearest errno to the thread's last Windows error, so that a save tells why it failed
// in the words it uses everywhere.
int lastErrno() {
  switch (GetLastError()) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    default:
      return EIO;
  }
}

int failWithLastError() {
  errno = lastErrno();
  return -1;
}

std::wstring wide(const std::string& utf8) {
  return filePath(utf8).wstring();
}

HANDLE handleOf(int fd) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

}  // namespace

int SaveFileSystem::createTemporary(std::string& pathTemplate) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  constexpr std::size_t kRandom = 6;
  if (pathTemplate.size() < kRandom ||
      pathTemplate.compare(pathTemplate.size() - kRandom, kRandom, "XXXXXX") != 0) {
    errno = EINVAL;
    return -1;
  }
  std::random_device device;
  std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (std::size_t i = pathTemplate.size() - kRandom; i < pathTemplate.size(); ++i) {
      pathTemplate[i] = kLetters[letter(device)];
    }
    // Not inherited by the processes this one starts (the handle's default), like O_CLOEXEC.
    const HANDLE file =
        CreateFileW(wide(pathTemplate).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return failWithLastError();
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
    if (fd < 0) {
      CloseHandle(file);
      DeleteFileW(wide(pathTemplate).c_str());
      errno = EMFILE;
    }
    return fd;
  }
  errno = EEXIST;
  return -1;
}

ssize_t SaveFileSystem::writeAt(int fd, const void* data, std::size_t size, std::int64_t offset) {
  const HANDLE file = handleOf(fd);
  if (file == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  // One call writes at most what a DWORD counts; the caller writes the rest.
  const DWORD chunk =
      static_cast<DWORD>(std::min<std::size_t>(size, std::numeric_limits<DWORD>::max() / 2));
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
  at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  DWORD written = 0;
  if (!WriteFile(file, data, chunk, &written, &at)) return failWithLastError();
  return static_cast<ssize_t>(written);
}

int SaveFileSystem::sync(int fd) {
  const HANDLE file = handleOf(fd);
  if (file == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  return FlushFileBuffers(file) ? 0 : failWithLastError();
}

int SaveFileSystem::syncDirectory(const std::string&) {
  return 0;
}

int SaveFileSystem::close(int fd) {
  return _close(fd);
}

int SaveFileSystem::rename(const std::string& from, const std::string& to) {
  return MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : failWithLastError();
}

int SaveFileSystem::remove(const std::string& path) {
  return DeleteFileW(wide(path).c_str()) ? 0 : failWithLastError();
}

pid_t currentProcessId() {
  return static_cast<pid_t>(GetCurrentProcessId());
}

bool processIsGone(pid_t pid) {
  if (pid <= 0 || static_cast<std::uint64_t>(pid) > std::numeric_limits<DWORD>::max()) {
    return false;  // no process id of this system
  }
  const HANDLE process =
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such id
  DWORD code = 0;
  // A process that ended with the code STILL_ACTIVE looks alive: its copy stays.
  const bool gone = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  CloseHandle(process);
  return gone;
}

std::string machineName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &length)) return {};
  return pathText(std::filesystem::path(std::wstring(name, length)));
}

// The copy takes the folder's permissions when it is created, as the old file did unless
// someone gave it others.
void copyPermissions(const std::string&, int) {}

}  // namespace qx::engine
