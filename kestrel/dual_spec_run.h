#pragma once
// One export: fills the template named by the header with the header texts and one framed row
// per record of the row list, saves it in place and leaves it open in the visible server.

#include <cstdint>
#include <string_view>

#include "kestrel/dual_spec_header.h"
#include "platform/messages.h"
#include "report/run_outcome.h"

namespace qx::kestrel {

// A row list that leads back to a record already passed has no end; refused before COM.
inline constexpr std::string_view kLoopingRowListMessage = "行记录链表有环, 无法导出!";

// Runs one export. `firstRow` is the first record of the host's row list, or null for a table
// without rows. Every failure is shown through `messages`; nothing is thrown. COM stays
// initialised on the calling thread after a successful run, as the host expects. The start-up
// messages are the policy's (report::kFixedStartTexts).
report::Outcome runDualSpecExport(const DualSpecHeader& header, const std::uint8_t* firstRow,
                                  platform::Messages& messages);

}  // namespace qx::kestrel
