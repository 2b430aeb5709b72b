#pragma once
// The body of the report: one framed row per record, group heading rows (vellum), and a total
// row of the time column at the end of every group and after the last record.

#include <vector>

#include "report/table.h"
#include "vellum/build_rules.h"
#include "vellum/group_table_header.h"
#include "vellum/group_table_row.h"

namespace qx::platform {
class Messages;
}

namespace qx::vellum {

// The label written one column left of the total.
inline constexpr const char* kTotalLabel = "总计:";

// Writes the host's row list (which must end) from the header's start row on into the table.
// False when the body stopped on a refused time text, after its message: the run then ends
// unsaved.
bool writeBody(const GroupTableHeader& header, const std::uint8_t* firstRecord,
               const BuildRules& rules, report::Table& table, platform::Messages& messages);

}  // namespace qx::vellum
