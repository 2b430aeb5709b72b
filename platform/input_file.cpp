#include "platform/input_file.h"

#include <utility>

namespace qx::platform {

namespace {
std::size_t readFile(std::FILE* file, void* buffer, std::size_t size) {
  return std::fread(buffer, 1, size, file);
}

void closeFile(std::FILE* file) {
  std::fclose(file);
}

FileCalls& currentCalls() {
  static FileCalls calls = systemFileCalls();
  return calls;
}
}  // namespace

FileCalls systemFileCalls() {
  return {openSystemFile, readFile, closeFile};
}

ScopedFileCalls::ScopedFileCalls(const FileCalls& calls)
    : previous_(std::exchange(currentCalls(), calls)) {}

ScopedFileCalls::~ScopedFileCalls() {
  currentCalls() = previous_;
}

InputFile InputFile::open(const std::filesystem::path& path) {
  return InputFile(currentCalls().open(path));
}

InputFile::InputFile(InputFile&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    close();
    file_ = std::exchange(other.file_, nullptr);
  }
  return *this;
}

void InputFile::close() {
  if (file_ != nullptr) currentCalls().close(std::exchange(file_, nullptr));
}

bool InputFile::readExactly(std::span<std::uint8_t> buffer) {
  if (file_ == nullptr) return false;
  return currentCalls().read(file_, buffer.data(), buffer.size()) == buffer.size();
}

std::string InputFile::readRest() {
  std::string bytes;
  if (file_ == nullptr) return bytes;
  char chunk[4096];
  for (;;) {
    const std::size_t read = currentCalls().read(file_, chunk, sizeof chunk);
    bytes.append(chunk, read);
    if (read < sizeof chunk) return bytes;
  }
}

bool canOpenForReading(const std::filesystem::path& path) {
  return InputFile::open(path).isOpen();
}

}  // namespace qx::platform
