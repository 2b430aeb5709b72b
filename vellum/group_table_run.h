#pragma once
// One report of the grouped table exporter: open the template, fill the header slots and the
// body, place the host's picture, save, and leave the workbook open in the visible server.

#include <string_view>

#include "report/run_outcome.h"
#include "vellum/build_rules.h"
#include "vellum/group_table_header.h"
#include "vellum/group_table_row.h"
#include "vellum/run_policy.h"

namespace qx::platform {
class Messages;
}

namespace qx::vellum {

// A row list that leads back to a record already passed has no end; refused before anything
// starts.
inline constexpr std::string_view kLoopingRowListMessage = "行记录链表有环, 无法导出!";

// The picture the host renders into the configuration directory's temp folder.
inline constexpr std::string_view kPictureFileName = "post_excel_sheet_pictrue.bmp";

// The call as the host makes it, with records in the host's memory; the row list must end
// (see platform::chainLoops) or is refused, and null skips the body. A null header returns at
// once in both builds; a null row list returns at once where the build requires one. Every
// failure is shown through `messages`; a failed automation call ends the run unsaved with one
// message. COM stays initialised on the calling thread unless the server could not be
// created; every holder is released once, the application last. The start-up messages are
// the policy's (report::kFixedStartTexts).
report::Outcome exportGroupTable(const void* header, const void* firstRow, const BuildRules& rules,
                                 platform::Messages& messages);

}  // namespace qx::vellum
