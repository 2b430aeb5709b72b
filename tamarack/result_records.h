#pragma once
// The host's result data: the transfer record read from the data file, and the header block
// and row records it leads to in the host's memory. The header block and the rows belong to
// the host; the only writes are the row shifts of a shifted template.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/byte_fields.h"
#include "platform/input_file.h"
#include "platform/record_view.h"
#include "tamarack/result_layout.h"

namespace qx::tamarack {

// The data file the host writes before each call: "pinebrook_temp.dat" in the "temp" folder of
// the configuration directory.
std::filesystem::path installedDataFile();

struct TransferRecord {
  std::uintptr_t headerAddress = 0;
  std::uintptr_t firstRowAddress = 0;  // 0 when there are no rows
};

// Decodes the transfer record; `addressWidth` is the build's own except where a test reads the
// other build's layout.
TransferRecord decodeTransferRecord(platform::Bytes record,
                                    std::size_t addressWidth = kAddressWidth);

// The link to the next row record in `row`, for the build's address width or the other one.
std::uintptr_t decodeRowLink(platform::Bytes row, std::size_t addressWidth = kAddressWidth);

// The data file, opened for binary reading; closed when the holder ends or close() is called.
class DataFile {
 public:
  explicit DataFile(const std::filesystem::path& path) : file_(platform::InputFile::open(path)) {}

  bool opened() const { return file_.isOpen(); }
  // Reads the 952-byte transfer record as one item; empty when the file holds fewer bytes.
  std::optional<TransferRecord> readTransferRecord();
  void close() { file_.close(); }

 private:
  platform::InputFile file_;
};

// The host's header block, read in place each time a field is asked for.
class HeaderBlock {
 public:
  explicit HeaderBlock(std::uintptr_t address) : bytes_(reinterpret_cast<std::uint8_t*>(address)) {}

  // Header text n (0..4), its switch and its cell counted from the used range's top-left cell.
  std::string_view text(std::size_t n) const;
  bool textEnabled(std::size_t n) const { return int32(header::kTexts[n].enabled) != 0; }
  std::int32_t textRow(std::size_t n) const { return int32(header::kTexts[n].row); }
  std::int32_t textColumn(std::size_t n) const { return int32(header::kTexts[n].column); }

  std::string_view workbookPath() const;  // code page 936
  std::string_view columnSpec() const;
  std::int32_t firstBodyRow() const { return int32(header::fields::first_body_row); }
  std::int32_t lastBodyRow() const { return int32(header::fields::last_body_row); }
  std::int32_t borderWeight() const { return int32(header::fields::border_weight); }
  std::int32_t recordCount() const { return int32(header::fields::record_count); }
  bool paginated() const { return int32(header::fields::pagination) != 0; }
  bool subtotalSwitchA() const { return int32(header::fields::switch_a) != 0; }
  bool subtotalSwitchB() const { return int32(header::fields::switch_b) != 0; }

  // A shifted template moves the body one row down; the host sees the new rows after the call.
  void shiftBodyRows();
  void shiftHeaderRows();

 private:
  platform::RecordView view() const { return platform::RecordView({bytes_, header::kSize}); }
  std::int32_t int32(platform::Int32Field field) const { return view().int32(field); }
  void increment(platform::Int32Field field);

  std::uint8_t* bytes_;
};

// One record of the host's row chain.
class RowRecord {
 public:
  explicit RowRecord(std::uintptr_t address)
      : bytes_(reinterpret_cast<const std::uint8_t*>(address)) {}

  std::string_view field(const RowField& field) const;
  std::string_view picturePath() const;
  // Extra column k (0..7); the eight are written only when the first holds exactly "是".
  std::string_view extraColumn(std::size_t k) const;
  bool extraColumnsOn() const;
  std::uintptr_t nextAddress() const;  // 0 ends the chain

 private:
  platform::Bytes bytes() const { return {bytes_, row::kSize}; }
  platform::RecordView view() const { return platform::RecordView(bytes()); }

  const std::uint8_t* bytes_;
};

}  // namespace qx::tamarack
