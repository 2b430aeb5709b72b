#pragma once
// GroupTableRow: one record of the host's row list, decoded by the offsets of its fields.
// Text fields stay views into the host's memory, which the host keeps valid for the call.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/byte_fields.h"
#include "platform/record_fields.h"

namespace qx::vellum {

inline constexpr std::size_t kRowRecordSize = platform::records::group_table_row::kSize;
// The link to the next record; null ends the list.
inline constexpr platform::AddressField kRowNext = platform::records::group_table_row::next;

// The value the host puts in the level and time fields when it has none (compared exactly).
inline constexpr double kNoValue = -10000.0;

// Fields are named after the column letters that show them.
struct GroupTableRow {
  std::string_view groupKey;  // also letter b in vellum_x
  std::string_view textB, text5, textC, textG;
  std::int32_t numberD = 0;
  double valueS1 = 0, valueS2 = 0, valueF = 0, valueT = 0, valueN = 0, valueM = 0, valueP = 0,
         valueO = 0, valueH = 0, valueI = 0;
  double level = 0;    // letters e, j, k
  double minutes = 0;  // letter l
  std::int32_t numberZ = 0;
  std::int32_t yesFlag = 0;  // letter 1
  double valueU = 0, valueV = 0, valueY = 0, valueX2 = 0;
  std::string_view textW, text6, text7, textQ, text2, text3, text4;
};

// Decodes one record from kRowRecordSize bytes of the host's memory.
GroupTableRow decodeRow(platform::Bytes record);

// The record that follows `record` (not null) in the row list, or null after the last.
const std::uint8_t* nextRowRecord(const std::uint8_t* record);

// Follows the row list from its first record (null for an empty list), decoding each record.
// The list must end (see platform::chainLoops).
std::vector<GroupTableRow> decodeRowList(const std::uint8_t* first);

}  // namespace qx::vellum
