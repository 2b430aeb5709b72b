#pragma once
// The file operations a save makes, behind one replaceable object, so that a test can make any
// of them fail the way a full disk, a failing device or a vanished folder would.

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace qx::engine {

// Each operation behaves as its POSIX namesake: the result it gives, or -1 with errno set.
class SaveFileSystem {
 public:
  virtual ~SaveFileSystem() = default;
  // mkostemp with O_CLOEXEC: fills in the trailing XXXXXX of `pathTemplate` and opens the file.
  virtual int createTemporary(std::string& pathTemplate);
  virtual ssize_t writeAt(int fd, const void* data, std::size_t size, off_t offset);
  virtual int sync(int fd);
  // Flushes the folder itself: a rename survives a power loss only then.
  virtual int syncDirectory(const std::string& path);
  virtual int close(int fd);
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

}  // namespace qx::engine
