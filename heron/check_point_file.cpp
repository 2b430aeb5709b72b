#include "heron/check_point_file.h"

#include <array>
#include <system_error>
#include <utility>

namespace qx::heron {

namespace {
using platform::int32At;

std::string textField(platform::Bytes bytes, std::size_t offset, std::size_t width) {
  return std::string(platform::textAt(bytes, offset, width));
}
}  // namespace

CheckPointHeader decodeHeader(platform::Bytes bytes) {
  CheckPointHeader header;
  header.text1Flag = int32At(bytes, 0);
  header.text1Row = int32At(bytes, 4);
  header.text1Col = int32At(bytes, 8);
  header.text2Flag = int32At(bytes, 12);
  header.text2Row = int32At(bytes, 16);
  header.text2Col = int32At(bytes, 20);
  header.text3Flag = int32At(bytes, 24);
  header.text3Row = int32At(bytes, 28);
  header.text3Col = int32At(bytes, 32);
  // 36 and 44 belong to the host.
  header.firstRow = int32At(bytes, 40);
  header.borderWeight = int32At(bytes, 48);
  header.rowCount = int32At(bytes, 52);
  header.text1 = textField(bytes, 56, 256);
  header.text3 = textField(bytes, 312, 80);  // text3's slot lies before text2's
  header.text2 = textField(bytes, 392, 80);
  header.columnSpec = textField(bytes, 472, 256);
  header.templatePath = textField(bytes, 728, 256);
  header.pictureCell1 = textField(bytes, 984, 30);
  header.pictureCell2 = textField(bytes, 1014, 30);
  return header;
}

CheckPointRow decodeRow(platform::Bytes bytes) {
  // The last 8 bytes belong to the host.
  return CheckPointRow{textField(bytes, 0, 80), textField(bytes, 80, 80), textField(bytes, 160, 80),
                       textField(bytes, 240, 80)};
}

std::optional<CheckPointFile> CheckPointFile::open(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return std::nullopt;
#ifdef _WIN32
  std::FILE* file = _wfopen(path.wstring().c_str(), L"rb");
#else
  std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
  if (file == nullptr) return std::nullopt;
  return CheckPointFile(file);
}

CheckPointFile::CheckPointFile(CheckPointFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)) {}

CheckPointFile& CheckPointFile::operator=(CheckPointFile&& other) noexcept {
  if (this != &other) {
    close();
    file_ = std::exchange(other.file_, nullptr);
  }
  return *this;
}

void CheckPointFile::close() {
  if (file_ != nullptr) std::fclose(std::exchange(file_, nullptr));
}

bool CheckPointFile::readExactly(std::uint8_t* buffer, std::size_t size) {
  return file_ != nullptr && std::fread(buffer, 1, size, file_) == size;
}

ReadResult CheckPointFile::readHeader(CheckPointHeader& header) {
  std::array<std::uint8_t, kHeaderSize> bytes;
  if (!readExactly(bytes.data(), bytes.size())) return ReadResult::ShortHeader;
  header = decodeHeader(bytes);
  return ReadResult::Complete;
}

ReadResult CheckPointFile::readRow(CheckPointRow& row) {
  std::array<std::uint8_t, kRowSize> bytes;
  if (!readExactly(bytes.data(), bytes.size())) return ReadResult::ShortRow;
  row = decodeRow(bytes);
  return ReadResult::Complete;
}

}  // namespace qx::heron
