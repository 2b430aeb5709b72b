#pragma once
// What each letter of the column spec puts into its cell.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vellum/build_rules.h"
#include "vellum/group_table_header.h"
#include "vellum/group_table_row.h"

namespace qx::platform {
class Messages;
}

namespace qx::vellum {

// A cell text is built in 256 bytes: longer texts are cut at a GBK character boundary.
inline constexpr std::size_t kCellTextRoom = 256;
std::string_view boundedCellText(std::string_view gbk);

// State carried from record to record through the body.
struct BodyState {
  std::int32_t recordCounter = 0;  // the record being written is number recordCounter
  double runningSum = 0;           // whole minutes since the last group total
  std::string previousKey;         // the group key of the current group
  std::string room;                // the text of the last cell built rather than read
  bool stopped = false;            // a time text was refused: told, the run stops unsaved
};

struct ColumnCell {
  bool writesText = true;  // letter r only frames: the cell keeps the template's content
  // GBK: a view into the record or into the state's room, valid until the next cell.
  std::string_view text;
};

// The cell of one column letter for `row`; nothing for a character that is no letter. Letter l
// moves the running sum on, or stops the body (state.stopped) when its text is refused; letter
// b in vellum_x moves the previous key on.
std::optional<ColumnCell> columnCell(char letter, const GroupTableRow& row,
                                     const GroupTableHeader& header, const BuildRules& rules,
                                     BodyState& state, platform::Messages& messages);

}  // namespace qx::vellum
