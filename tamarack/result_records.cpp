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

TransferRecord decodeTransferRecord(platform::Bytes record, std::size_t addressWidth) {
  const auto fields = platform::records::resultAddressFields(addressWidth);
  const platform::RecordView view(record);
  return {view.address(fields.headerBlock), view.address(fields.firstRow)};
}

std::uintptr_t decodeRowLink(platform::Bytes row, std::size_t addressWidth) {
  return platform::RecordView(row).address(
      platform::records::resultAddressFields(addressWidth).rowNext);
}

std::optional<TransferRecord> DataFile::readTransferRecord() {
  std::array<std::uint8_t, transfer::kSize> record{};
  if (!file_.readExactly(record)) return std::nullopt;
  return decodeTransferRecord(record);
}

std::string_view HeaderBlock::text(std::size_t n) const {
  return view().text(header::kTexts[n].text);
}

std::string_view HeaderBlock::workbookPath() const {
  return view().text(header::fields::workbook_path);
}

std::string_view HeaderBlock::columnSpec() const {
  return view().text(header::fields::column_spec);
}

void HeaderBlock::increment(platform::Int32Field field) {
  // Wraps like the host's own 32-bit arithmetic instead of overflowing.
  const auto value = static_cast<std::uint32_t>(int32(field)) + 1u;
  platform::RecordWriter({bytes_, header::kSize}).int32(field, static_cast<std::int32_t>(value));
}

void HeaderBlock::shiftBodyRows() {
  increment(header::fields::first_body_row);
  increment(header::fields::last_body_row);
}

void HeaderBlock::shiftHeaderRows() {
  for (const header::TextFields& text : header::kTexts) increment(text.row);
}

std::string_view RowRecord::field(const RowField& field) const {
  return view().text(field.field);
}

std::string_view RowRecord::picturePath() const {
  return field(*rowField(kPictureSelector));
}

std::string_view RowRecord::extraColumn(std::size_t k) const {
  return view().text(row::kExtraColumns[k]);
}

bool RowRecord::extraColumnsOn() const {
  return extraColumn(0) == kYes;
}

std::uintptr_t RowRecord::nextAddress() const {
  return view().address(row::fields::next);
}

}  // namespace qx::tamarack
