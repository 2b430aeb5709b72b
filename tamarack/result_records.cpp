#include "tamarack/result_records.h"

#include <array>

#include "platform/paths.h"

namespace qx::tamarack {

namespace {
// "是" in code page 936.
constexpr std::string_view kYes = "\xCA\xC7";
}  // namespace

std::filesystem::path installedDataFile() {
  return platform::tempFile("pinebrook_temp.dat");
}

TransferRecord decodeTransferRecord(platform::Bytes record) {
  return {platform::addressAt(record, transfer::kHeaderAddress, kAddressWidth),
          platform::addressAt(record, transfer::kFirstRowAddress, kAddressWidth)};
}

DataFile::DataFile(const std::filesystem::path& path) {
#ifdef _WIN32
  file_ = _wfopen(path.wstring().c_str(), L"rb");
#else
  file_ = std::fopen(path.c_str(), "rb");
#endif
}

std::optional<TransferRecord> DataFile::readTransferRecord() {
  std::array<std::uint8_t, transfer::kSize> record{};
  if (std::fread(record.data(), record.size(), 1, file_) != 1) return std::nullopt;
  return decodeTransferRecord(record);
}

void DataFile::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

std::string_view HeaderBlock::text(std::size_t n) const {
  return platform::textAt(bytes(), header::textOffset(n), header::kTextWidth);
}

std::string_view HeaderBlock::workbookPath() const {
  return platform::textAt(bytes(), header::kWorkbookPath, header::kWorkbookPathWidth);
}

std::string_view HeaderBlock::columnSpec() const {
  return platform::textAt(bytes(), header::kColumnSpec, header::kColumnSpecWidth);
}

void HeaderBlock::increment(std::size_t offset) {
  // Wraps like the host's own 32-bit arithmetic instead of overflowing.
  const auto value = static_cast<std::uint32_t>(int32(offset)) + 1u;
  platform::storeInt32(bytes_, offset, static_cast<std::int32_t>(value));
}

void HeaderBlock::shiftBodyRows() {
  increment(header::kFirstBodyRow);
  increment(header::kLastBodyRow);
}

void HeaderBlock::shiftHeaderRows() {
  for (std::size_t n = 0; n < header::kTextCount; ++n) increment(header::rowOffset(n));
}

std::string_view RowRecord::field(const RowField& field) const {
  return platform::textAt(bytes(), field.offset, field.room);
}

std::string_view RowRecord::picturePath() const {
  return field(*rowField(kPictureSelector));
}

std::string_view RowRecord::extraColumn(std::size_t k) const {
  return platform::textAt(bytes(), row::kExtraColumns + row::kExtraColumnWidth * k,
                          row::kExtraColumnWidth);
}

bool RowRecord::extraColumnsOn() const {
  return extraColumn(0) == kYes;
}

std::uintptr_t RowRecord::nextAddress() const {
  return platform::addressAt(bytes(), row::kNextAddress, kAddressWidth);
}

}  // namespace qx::tamarack
