#pragma once
// The new copy of a file being saved. It is written beside the file under a name that tells
// which process of which machine writes it, and takes the file's place only once it is
// complete and on disk, so the file is at every moment either the old one or the new one.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace qx::engine {

class ReplacementFile {
 public:
  // First removes the copies of `target` that processes of this machine left behind when they
  // died (a killed process cannot clean up after itself), then creates the new copy with the
  // target's permissions. EngineError with the reason when the folder takes no new file.
  explicit ReplacementFile(const std::string& target);
  // Removes the copy unless it took the target's place.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  const std::string& path() const { return path_; }

  // The steps of a save; each throws EngineError with the reason (not naming the target).
  void writeAt(std::uint64_t offset, const char* data, std::size_t size);
  // Flushes the copy to disk and closes it.
  void finish();
  // Renames the finished copy over the target, then flushes the folder. Once the rename is
  // done the save has happened: a failing flush of the folder only makes it less durable
  // against a power loss, so it is not reported.
  void replaceTarget();

 private:
  std::string target_;
  std::string directory_;
  std::string path_;
  int fd_ = -1;
  bool placed_ = false;
};

// ".<target's name>.qx-saving-<pid>-<machine>-": how the copies written by the process `pid`
// of this machine begin; six random characters follow.
std::string replacementPrefix(const std::string& target, pid_t pid);

}  // namespace qx::engine
