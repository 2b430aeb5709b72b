#include "vellum/group_table_run.h"

#include <exception>
#include <string>

#include "automation/automation_error.h"
#include "automation/dispatch.h"
#include "automation/operations.h"
#include "platform/code_page.h"
#include "platform/input_file.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/record_chain.h"
#include "report/sheet_writing.h"
#include "report/workbook_run.h"
#include "report/workbook_session.h"
#include "vellum/body_rows.h"
#include "vellum/header_slots.h"
#include "vellum/time_text.h"

namespace qx::vellum {

namespace {
bool templateExists(const GroupTableHeader& header, platform::Messages& messages) {
  if (platform::canOpenForReading(platform::pathFromHostText(header.templatePath))) return true;
  const std::string path = platform::gbkToUtf8(header.templatePath);
  messages.show(platform::format(kTemplateMissingMessage, path.c_str()), platform::Buttons::Ok);
  return false;
}

// Everything between opening the template and saving it.
void fillWorkbook(const GroupTableHeader& header, const std::uint8_t* firstRecord,
                  const BuildRules& rules, report::WorkbookSession& session,
                  platform::Messages& messages) {
  report::openTemplate(session, header.templatePath);
  fillHeaderSlots(header, session.usedRange);
  if (firstRecord != nullptr) {
    try {
      writeBody(header, firstRecord, rules, session, messages);
    } catch (const RunStopped&) {
      // The user has been told; the workbook stays open unsaved.
      return;
    }
  }
  if (header.placePicture) {
    const std::string picture = platform::hostTextFromPath(platform::tempFile(kPictureFileName));
    report::placePicture(session.sheet.copy(), header.pictureFirstCell, header.pictureLastCell,
                         picture, *kRunPolicy.picture, messages);
  }
  report::saveWorkbook(session);
}

void showAborted(platform::Messages& messages, const char* reason) {
  messages.show(std::string(kRunAbortedMessage) + reason, platform::Buttons::Ok);
}
}  // namespace

void runGroupTable(const GroupTableHeader& header, const std::uint8_t* firstRecord,
                   const BuildRules& rules, platform::Messages& messages) {
  if (!templateExists(header, messages)) return;
  report::WorkbookRun run(kRunPolicy, messages);
  if (!run.leaseApartment()) {
    messages.show(kEnvironmentFailedMessage, platform::Buttons::Ok);
    return;
  }
  if (!run.startServer()) {
    messages.show(kServerFailedMessage, platform::Buttons::Ok);
    run.handBackApartment();
    return;
  }
  run.guarded([&] { fillWorkbook(header, firstRecord, rules, run.session(), messages); });
}

void exportGroupTable(const void* header, const void* firstRow, const BuildRules& rules,
                      platform::Messages& messages) noexcept {
  if (header == nullptr || (firstRow == nullptr && rules.rowListRequired)) return;
  try {
    const GroupTableHeader decoded =
        decodeHeader(platform::Bytes(static_cast<const std::uint8_t*>(header), kHeaderRecordSize));
    if (firstRow == nullptr) {
      runGroupTable(decoded, nullptr, rules, messages);
      return;
    }
    const auto* first = static_cast<const std::uint8_t*>(firstRow);
    if (platform::chainLoops(first, nextRowRecord)) {
      messages.show(kLoopingRowListMessage, platform::Buttons::Ok);
      return;
    }
    runGroupTable(decoded, first, rules, messages);
  } catch (const std::exception& error) {
    try {
      showAborted(messages, error.what());
    } catch (...) {
    }
  } catch (...) {
    // Nothing may cross into the host.
  }
}

}  // namespace qx::vellum
