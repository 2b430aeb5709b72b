#include "heron/check_point_file.h"

#include <array>
#include <utility>

namespace qx::heron {

namespace {
namespace header_fields = platform::records::check_point_header;
namespace row_fields = platform::records::check_point_row;
}  // namespace

CheckPointHeader decodeHeader(platform::Bytes bytes) {
  const platform::RecordView view(bytes);
  CheckPointHeader header;
  header.text1Flag = view.int32(header_fields::text1_flag);
  header.text1Row = view.int32(header_fields::text1_row);
  header.text1Col = view.int32(header_fields::text1_col);
  header.text2Flag = view.int32(header_fields::text2_flag);
  header.text2Row = view.int32(header_fields::text2_row);
  header.text2Col = view.int32(header_fields::text2_col);
  header.text3Flag = view.int32(header_fields::text3_flag);
  header.text3Row = view.int32(header_fields::text3_row);
  header.text3Col = view.int32(header_fields::text3_col);
  // The reserved words belong to the host.
  header.firstRow = view.int32(header_fields::first_row);
  header.borderWeight = view.int32(header_fields::border_weight);
  header.rowCount = view.int32(header_fields::row_count);
  header.text1 = std::string(view.text(header_fields::text1));
  header.text3 = std::string(view.text(header_fields::text3));  // text3's slot lies before text2's
  header.text2 = std::string(view.text(header_fields::text2));
  header.columnSpec = std::string(view.text(header_fields::column_spec));
  header.templatePath = std::string(view.text(header_fields::template_path));
  header.pictureCell1 = std::string(view.text(header_fields::picture_cell1));
  header.pictureCell2 = std::string(view.text(header_fields::picture_cell2));
  return header;
}

CheckPointRow decodeRow(platform::Bytes bytes) {
  // The bytes after the last field belong to the host.
  const platform::RecordView view(bytes);
  return CheckPointRow{
      std::string(view.text(row_fields::field_a)), std::string(view.text(row_fields::field_b)),
      std::string(view.text(row_fields::field_c)), std::string(view.text(row_fields::field_d))};
}

std::optional<CheckPointFile> CheckPointFile::open(const std::filesystem::path& path) {
  platform::InputFile file = platform::InputFile::open(path);
  if (!file.isOpen()) return std::nullopt;
  return CheckPointFile(std::move(file));
}

ReadResult CheckPointFile::readHeader(CheckPointHeader& header) {
  std::array<std::uint8_t, kHeaderSize> bytes;
  if (!file_.readExactly(bytes)) return ReadResult::ShortHeader;
  header = decodeHeader(bytes);
  return ReadResult::Complete;
}

ReadResult CheckPointFile::readRow(CheckPointRow& row) {
  std::array<std::uint8_t, kRowSize> bytes;
  if (!file_.readExactly(bytes)) return ReadResult::ShortRow;
  row = decodeRow(bytes);
  return ReadResult::Complete;
}

}  // namespace qx::heron
