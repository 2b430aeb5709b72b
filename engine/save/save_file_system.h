#pragma once
// The file operations a save makes, behind one replaceable object, so that a test can make any
// of them fail the way a full disk, a failing device or a vanished folder would.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace qx::engine {

// Each operation behaves as its POSIX namesake: the result it gives, or -1 with errno set.
// Paths are UTF-8. On Windows a file is a C runtime descriptor over the handle of the wide
// character file API, and a failure's Windows error becomes the nearest errno.
class SaveFileSystem {
 public:
  virtual ~SaveFileSystem() = default;
  // mkostemp with O_CLOEXEC: fills in the trailing XXXXXX of `pathTemplate` and opens the file.
  virtual int createTemporary(std::string& pathTemplate);
  virtual ssize_t writeAt(int fd, const void* data, std::size_t size, std::int64_t offset);
  virtual int sync(int fd);
  // Flushes the folder itself: a rename survives a power loss only then. On Windows the
  // rename itself waits until it is on disk, and this does nothing.
  virtual int syncDirectory(const std::string& path);
  virtual int close(int fd);
  // Puts `from` in the place of `to` in one step, also where `to` exists.
  virtual int rename(const std::string& from, const std::string& to);
  virtual int remove(const std::string& path);
  // How many bytes a save gathers before it writes them out.
  virtual std::size_t writeBufferBytes() const { return std::size_t{256} << 10; }
};

// The instance every save uses: the real file system unless a test installed another.
SaveFileSystem& saveFileSystem();

// Installs `replacement` for the life of the guard.
class ScopedSaveFileSystem {
 public:
  explicit ScopedSaveFileSystem(SaveFileSystem& replacement);
  ~ScopedSaveFileSystem();
  ScopedSaveFileSystem(const ScopedSaveFileSystem&) = delete;
  ScopedSaveFileSystem& operator=(const ScopedSaveFileSystem&) = delete;

 private:
  SaveFileSystem* previous_;
};

// The process and machine a save runs on, which the names of its copies record.
pid_t currentProcessId();
// True only when no process `pid` runs on this machine; when in doubt, false.
bool processIsGone(pid_t pid);
// The name of this machine, as the system reports it.
std::string machineName();
// Gives the new copy `fd` the permissions `target` has, where the system keeps them per file.
void copyPermissions(const std::string& target, int fd);

}  // namespace qx::engine
