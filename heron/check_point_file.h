#pragma once
// The check-point data file the host writes before it starts heron: one header followed by
// row_count records. Fields are read by their offsets, never by structure layout.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "platform/byte_fields.h"
#include "platform/input_file.h"
#include "platform/record_fields.h"

namespace qx::heron {

inline constexpr std::size_t kHeaderSize = platform::records::check_point_header::kSize;
inline constexpr std::size_t kRowSize = platform::records::check_point_row::kSize;

// The header as the host wrote it. Texts are code page 936 bytes up to their NUL (or the whole
// slot when it holds none).
struct CheckPointHeader {
  std::int32_t text1Flag = 0, text1Row = 0, text1Col = 0;
  std::int32_t text2Flag = 0, text2Row = 0, text2Col = 0;
  std::int32_t text3Flag = 0, text3Row = 0, text3Col = 0;
  std::int32_t firstRow = 0;      // row of the first body record, and of the emptiness check
  std::int32_t borderWeight = 0;  // Weight of every body cell's frame
  std::int32_t rowCount = 0;      // records that follow; zero or less means none
  std::string text1, text2, text3;
  std::string columnSpec;  // one character per body step: a, b, c, d, w; others are passed over
  std::string templatePath;
  std::string pictureCell1, pictureCell2;
};

// One body record: the four texts the column spec letters a to d select.
struct CheckPointRow {
  std::string fieldA, fieldB, fieldC, fieldD;
};

// Decodes a header from at least kHeaderSize bytes.
CheckPointHeader decodeHeader(platform::Bytes bytes);

// Decodes a body record from at least kRowSize bytes.
CheckPointRow decodeRow(platform::Bytes bytes);

// How a read of the data file ended. A short header and a short body record are different
// failures and are told apart.
enum class ReadResult { Complete, ShortHeader, ShortRow };

// The data file opened for binary reading. Reads go forward from the start: the header first,
// then the records in file order; nothing past the last record asked for is read. Closes the
// file when closed explicitly or destroyed; a move leaves the source closed.
class CheckPointFile {
 public:
  // Opens `path` for binary reading; empty when it cannot be opened (missing, a directory, no
  // permission).
  static std::optional<CheckPointFile> open(const std::filesystem::path& path);

  // Reads the next kHeaderSize bytes into `header`; ShortHeader (header untouched) when the
  // file ends first.
  ReadResult readHeader(CheckPointHeader& header);

  // Reads the next kRowSize bytes into `row`; ShortRow (row untouched) when the file ends
  // first.
  ReadResult readRow(CheckPointRow& row);

  void close() { file_.close(); }
  bool isOpen() const { return file_.isOpen(); }

 private:
  explicit CheckPointFile(platform::InputFile file) : file_(std::move(file)) {}

  platform::InputFile file_;
};

}  // namespace qx::heron
