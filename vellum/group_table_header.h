#pragma once
// GroupTableHeader: the header record the host hands to excel_file / excel_file_auto, decoded
// by the offsets of its fields. Text fields stay views into the host's memory.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/byte_fields.h"
#include "platform/record_fields.h"

namespace qx::vellum {

inline constexpr std::size_t kHeaderRecordSize = platform::records::group_table_header::kSize;
inline constexpr int kHeaderSlotCount = 24;

// Where one header slot lives in the record: show flag, row and column, and its text.
struct HeaderSlotLayout {
  int slot;  // 1..24, the host's numbering
  platform::Int32Field showFlag, row, column;
  platform::TextField text;
};

// The slots in writing order. The triplets do not lie in slot order (slot 22's sits before
// slot 3's); the texts do.
extern const std::array<HeaderSlotLayout, kHeaderSlotCount> kHeaderSlotLayouts;

struct HeaderSlot {
  int slot = 0;
  bool shown = false;
  std::int32_t row = 0, column = 0;
  std::string_view text;  // GBK, up to its NUL
};

struct GroupTableHeader {
  bool placePicture = false;
  std::array<HeaderSlot, kHeaderSlotCount> slots;  // writing order
  std::int32_t borderWeight = 0;
  std::int32_t startRow = 0;
  std::int32_t groupColumn = 0;
  bool timeFormat = false;
  std::string_view templatePath;
  std::string_view columnSpec;
  std::string_view pictureFirstCell, pictureLastCell;
  double referenceValue = 0, eCorrection = 0, xCorrection = 0, yCorrection = 0;
};

// Decodes the header from kHeaderRecordSize bytes of the host's memory.
GroupTableHeader decodeHeader(platform::Bytes record);

}  // namespace qx::vellum
