#pragma once
// Whether this process still holds a file open, so tests can prove a run closed it.

#include <filesystem>
#include <system_error>

namespace qx::testing {

#ifdef _WIN32
// Windows refuses to rename a file that is open without delete sharing (as fopen opens it).
inline bool openedByThisProcess(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return false;
  std::filesystem::path moved = path;
  moved += ".moved";
  std::filesystem::rename(path, moved, error);
  if (error) return true;
  std::filesystem::rename(moved, path, error);
  return false;
}
#else
// Linux lists the process's open files under /proc/self/fd.
inline bool openedByThisProcess(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path wanted = std::filesystem::absolute(path, error).lexically_normal();
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    std::error_code linkError;
    const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), linkError);
    if (linkError) continue;
    // A file removed while open reads "<path> (deleted)".
    const std::string text = target.string();
    if (target == wanted || text == wanted.string() + " (deleted)") return true;
  }
  return false;
}
#endif

}  // namespace qx::testing
