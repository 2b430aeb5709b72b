#include "vellum/group_table_run.h"

#include <exception>
#include <string>

#include "automation/apartment.h"
#include "automation/automation_error.h"
#include "automation/code_page.h"
#include "automation/dispatch.h"
#include "automation/failure_report.h"
#include "automation/operations.h"
#include "automation/sheet_moves.h"
#include "automation/workbook_session.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/record_chain.h"
#include "vellum/body_rows.h"
#include "vellum/header_slots.h"
#include "vellum/time_text.h"

namespace qx::vellum {

namespace {
bool templateExists(const GroupTableHeader& header, platform::Messages& messages) {
  if (platform::canOpenForReading(platform::pathFromHostText(header.templatePath))) return true;
  const std::string path = automation::gbkToUtf8(header.templatePath);
  messages.show(platform::format(kTemplateMissingMessage, path.c_str()), platform::Buttons::Ok);
  return false;
}

// Everything between opening the template and saving it.
void fillWorkbook(const GroupTableHeader& header, const std::uint8_t* firstRecord,
                  const BuildRules& rules, automation::WorkbookSession& session,
                  platform::Messages& messages) {
  automation::openTemplate(session, header.templatePath);
  fillHeaderSlots(header, session.usedRange);
  if (firstRecord != nullptr) writeBody(header, firstRecord, rules, session, messages);
  if (header.placePicture) {
    const std::string picture = platform::hostTextFromPath(platform::tempFile(kPictureFileName));
    automation::placePicture(session.sheet.copy(), header.pictureFirstCell, header.pictureLastCell,
                             picture, automation::PictureStyle::NearestSingle, messages);
  }
  automation::workbookSave(session.workbook);
}

void showAborted(platform::Messages& messages, const char* reason) {
  messages.show(std::string(kRunAbortedMessage) + reason, platform::Buttons::Ok);
}
}  // namespace

void runGroupTable(const GroupTableHeader& header, const std::uint8_t* firstRecord,
                   const BuildRules& rules, platform::Messages& messages) {
  if (!templateExists(header, messages)) return;
  if (automation::hr::failed(automation::initializeApartment())) {
    messages.show(kEnvironmentFailedMessage, platform::Buttons::Ok);
    return;
  }
  automation::WorkbookSession session;
  if (!session.application.createByProgId(automation::kSpreadsheetProgId)) {
    messages.show(kServerFailedMessage, platform::Buttons::Ok);
    automation::uninitializeApartment();
    return;
  }
  try {
    fillWorkbook(header, firstRecord, rules, session, messages);
  } catch (const automation::AutomationError& error) {
    automation::reportAutomationFailure(messages, error);
  } catch (const RunStopped&) {
    // The user has been told; the workbook stays open unsaved.
  } catch (const std::exception& error) {
    showAborted(messages, error.what());
  }
  session.release();
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
