// Fuzz target for the check-point data file: any bytes as the data file. The file reader must
// tell a short header and a short record apart exactly where the bytes run out, and every
// decoded text must be its slot's bytes up to the first NUL, never longer than the slot and
// never read from outside it.

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "heron/check_point_file.h"
#include "platform/record_fields.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using qx::heron::CheckPointFile;
using qx::heron::CheckPointHeader;
using qx::heron::CheckPointRow;
using qx::heron::kHeaderSize;
using qx::heron::kRowSize;
using qx::heron::ReadResult;
using qx::platform::TextField;
namespace header_fields = qx::platform::records::check_point_header;
namespace row_fields = qx::platform::records::check_point_row;

void checkText(const std::string& text, const std::vector<std::uint8_t>& record, TextField slot) {
  const std::size_t offset = slot.offset, width = slot.width;
  QX_FUZZ_CHECK(text.size() <= width, "a text is longer than its slot");
  QX_FUZZ_CHECK(text.find('\0') == std::string::npos, "a text holds a NUL");
  QX_FUZZ_CHECK(std::memcmp(text.data(), record.data() + offset, text.size()) == 0,
                "a text differs from its slot");
  QX_FUZZ_CHECK(text.size() == width || record[offset + text.size()] == 0,
                "a text ends before its NUL");
}

// Decodes a copy of exactly one record, so a read past it is caught.
CheckPointHeader checkedHeader(const std::uint8_t* data) {
  const std::vector<std::uint8_t> bytes(data, data + kHeaderSize);
  const CheckPointHeader header = qx::heron::decodeHeader(bytes);
  checkText(header.text1, bytes, header_fields::text1);
  checkText(header.text3, bytes, header_fields::text3);
  checkText(header.text2, bytes, header_fields::text2);
  checkText(header.columnSpec, bytes, header_fields::column_spec);
  checkText(header.templatePath, bytes, header_fields::template_path);
  checkText(header.pictureCell1, bytes, header_fields::picture_cell1);
  checkText(header.pictureCell2, bytes, header_fields::picture_cell2);
  return header;
}

CheckPointRow checkedRow(const std::uint8_t* data) {
  const std::vector<std::uint8_t> bytes(data, data + kRowSize);
  const CheckPointRow row = qx::heron::decodeRow(bytes);
  checkText(row.fieldA, bytes, row_fields::field_a);
  checkText(row.fieldB, bytes, row_fields::field_b);
  checkText(row.fieldC, bytes, row_fields::field_c);
  checkText(row.fieldD, bytes, row_fields::field_d);
  return row;
}

bool sameHeader(const CheckPointHeader& a, const CheckPointHeader& b) {
  return a.text1Flag == b.text1Flag && a.text1Row == b.text1Row && a.text1Col == b.text1Col &&
         a.text2Flag == b.text2Flag && a.text2Row == b.text2Row && a.text2Col == b.text2Col &&
         a.text3Flag == b.text3Flag && a.text3Row == b.text3Row && a.text3Col == b.text3Col &&
         a.firstRow == b.firstRow && a.borderWeight == b.borderWeight && a.rowCount == b.rowCount &&
         a.text1 == b.text1 && a.text2 == b.text2 && a.text3 == b.text3 &&
         a.columnSpec == b.columnSpec && a.templatePath == b.templatePath &&
         a.pictureCell1 == b.pictureCell1 && a.pictureCell2 == b.pictureCell2;
}

bool sameRow(const CheckPointRow& a, const CheckPointRow& b) {
  return a.fieldA == b.fieldA && a.fieldB == b.fieldB && a.fieldC == b.fieldC &&
         a.fieldD == b.fieldD;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/qx-check-point-fuzz-" + std::to_string(::getpid()) + ".dat";
  if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
    if (size > 0) std::fwrite(data, 1, size, out);
    std::fclose(out);
  }
  std::optional<CheckPointFile> file = CheckPointFile::open(path);
  QX_FUZZ_CHECK(file.has_value(), "the data file did not open");

  CheckPointHeader header;
  const ReadResult headerResult = file->readHeader(header);
  if (size < kHeaderSize) {
    QX_FUZZ_CHECK(headerResult == ReadResult::ShortHeader, "a short header was read");
  } else {
    QX_FUZZ_CHECK(headerResult == ReadResult::Complete, "a whole header was refused");
    QX_FUZZ_CHECK(sameHeader(header, checkedHeader(data)), "file and bytes decode apart");
    const std::size_t available = (size - kHeaderSize) / kRowSize;
    const std::size_t wanted = static_cast<std::size_t>(std::max(header.rowCount, 0));
    // Reading stops at the first short record, as the run does.
    for (std::size_t i = 0; i < std::min(wanted, available + 1); ++i) {
      CheckPointRow row;
      const ReadResult rowResult = file->readRow(row);
      if (i == available) {
        QX_FUZZ_CHECK(rowResult == ReadResult::ShortRow, "a short record was read");
        break;
      }
      QX_FUZZ_CHECK(rowResult == ReadResult::Complete, "a whole record was refused");
      QX_FUZZ_CHECK(sameRow(row, checkedRow(data + kHeaderSize + i * kRowSize)),
                    "file and bytes decode a record apart");
    }
  }
  file->close();
  QX_FUZZ_CHECK(!file->isOpen(), "the data file stayed open");
  std::remove(path.c_str());
  return 0;
}
