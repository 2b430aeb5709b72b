#include "vellum/group_table_run.h"

#include <string>

#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/record_chain.h"
#include "report/workbook_run.h"
#include "vellum/body_rows.h"
#include "vellum/header_slots.h"

namespace qx::vellum {

namespace {
using report::Outcome;

// Everything between opening the template and saving it.
Outcome fillWorkbook(const GroupTableHeader& header, const std::uint8_t* firstRecord,
                     const BuildRules& rules, report::WorkbookRun& run,
                     platform::Messages& messages) {
  run.openTemplate(header.templatePath);
  report::Table& table = run.table();
  fillHeaderSlots(header, table);
  if (firstRecord != nullptr && !writeBody(header, firstRecord, rules, table, messages)) {
    // The user has been told; the workbook stays open unsaved.
    return Outcome::Stopped;
  }
  if (header.placePicture) {
    const std::string picture = platform::hostTextFromPath(platform::tempFile(kPictureFileName));
    table.placePicture(header.pictureFirstCell, header.pictureLastCell, picture);
  }
  run.save();
  return Outcome::Saved;
}
}  // namespace

Outcome exportGroupTable(const void* header, const void* firstRow, const BuildRules& rules,
                         platform::Messages& messages) {
  if (header == nullptr || (firstRow == nullptr && rules.rowListRequired)) return Outcome::Stopped;
  report::WorkbookRun run(kRunPolicy, messages);
  // Everything is guarded, the decoding included: whatever ends the run is told once, input
  // the run cannot write as kRunAbortedMessage followed by the reason.
  return run.guarded([&] {
    const GroupTableHeader decoded =
        decodeHeader(platform::Bytes(static_cast<const std::uint8_t*>(header), kHeaderRecordSize));
    const auto* first = static_cast<const std::uint8_t*>(firstRow);
    if (first != nullptr && platform::chainLoops(first, nextRowRecord)) {
      messages.show(kLoopingRowListMessage, platform::Buttons::Ok);
      return Outcome::Stopped;
    }
    if (!run.checkTemplate(decoded.templatePath) || !run.start()) return Outcome::Stopped;
    return fillWorkbook(decoded, first, rules, run, messages);
  });
}

}  // namespace qx::vellum
