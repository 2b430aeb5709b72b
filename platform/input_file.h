#pragma once
// The one way files are read: the data files the host leaves, the language file, and the checks
// that a template or a picture is there. A folder never opens, on any system.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>

namespace qx::platform {

// The system calls under every InputFile, behind one seam so that tests can make any of them
// fail.
struct FileCalls {
  // Opens `path` for binary reading; null when it cannot be opened or names a folder.
  std::FILE* (*open)(const std::filesystem::path& path);
  // Reads up to `size` bytes; fewer at the end of the file or on an error.
  std::size_t (*read)(std::FILE* file, void* buffer, std::size_t size);
  void (*close)(std::FILE* file);
};

// The operating system's calls.
FileCalls systemFileCalls();

// The system's open under systemFileCalls, one for each operating system: a folder counts as a
// file that cannot be opened.
std::FILE* openSystemFile(const std::filesystem::path& path);

// Puts `calls` under every InputFile for the life of this object, then the previous ones again.
class ScopedFileCalls {
 public:
  explicit ScopedFileCalls(const FileCalls& calls);
  ~ScopedFileCalls();
  ScopedFileCalls(const ScopedFileCalls&) = delete;
  ScopedFileCalls& operator=(const ScopedFileCalls&) = delete;

 private:
  FileCalls previous_;
};

// A file opened for binary reading, or none (the empty handle). Reads go forward from the
// start. Owns its handle: a move leaves the source empty, and the file closes when closed
// explicitly or destroyed.
class InputFile {
 public:
  // Opens `path` for binary reading. Returns an empty file when it cannot be opened: missing,
  // a folder, no permission.
  static InputFile open(const std::filesystem::path& path);

  InputFile() = default;
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() { close(); }

  bool isOpen() const { return file_ != nullptr; }

  // Fills `buffer` with the next bytes. Returns false when the file ends or fails first (or is
  // not open); the bytes read until then are used up.
  bool readExactly(std::span<std::uint8_t> buffer);

  // The bytes from here to the end of the file, or to a failed read; empty when not open.
  std::string readRest();

  void close();

 private:
  explicit InputFile(std::FILE* file) : file_(file) {}

  std::FILE* file_ = nullptr;
};

// True when `path` opens as an InputFile; closes it again at once.
bool canOpenForReading(const std::filesystem::path& path);

}  // namespace qx::platform
