#include "report/workbook_run.h"

#include <exception>

#include "automation/apartment.h"
#include "automation/dispatch.h"
#include "automation/operations.h"
#include "platform/code_page.h"
#include "platform/input_file.h"
#include "platform/paths.h"
#include "platform/shell_open.h"
#include "report/server_choice.h"

namespace qx::report {

#ifdef _WIN32
namespace {
constexpr const char* kReportNotOpened = "报表已保存到“%s”, 但无法用关联的程序打开它!";
}  // namespace
#endif

WorkbookRun::~WorkbookRun() {
  releaseAll();
  if (policy_.uninitializeAfterGoodRun) handBackApartment();
}

void WorkbookRun::releaseAll() {
  table_.release();
  session_.release();
}

bool WorkbookRun::tell(StartText which, std::string_view templatePath) {
  return policy_.startTexts != nullptr && policy_.startTexts->tell(which, templatePath, messages_);
}

bool WorkbookRun::checkTemplate(std::string_view templatePath) {
  if (platform::canOpenForReading(platform::pathFromHostText(templatePath))) return true;
  tell(StartText::TemplateMissing, templatePath);
  return false;
}

bool WorkbookRun::start() {
  if (!leaseApartment()) {
    tell(StartText::ApartmentFailed);
    return false;
  }
  if (!startServer()) {
    if (tell(StartText::ServerNotStarted)) handBackApartment();
    return false;
  }
  return true;
}

void WorkbookRun::openTemplate(std::string_view templatePath) {
  report::openTemplate(session_, templatePath);
}

void WorkbookRun::save() {
  saveWorkbook(session_);
}

void WorkbookRun::closeTemplate() {
  automation::workbookClose(session_.workbook, automation::Variant::missing(),
                            automation::Variant::text(platform::gbkToUtf16(session_.templatePath)),
                            automation::Variant::missing());
}

void WorkbookRun::abandon() {
  automation::workbooksClose(session_.workbooks);
  automation::applicationQuit(session_.application);
  releaseAll();
  handBackApartment();
}

bool WorkbookRun::leaseApartment() {
  apartmentHeld_ = !automation::hr::failed(automation::initializeApartment());
  return apartmentHeld_;
}

void WorkbookRun::handBackApartment() {
  if (!apartmentHeld_) return;
  apartmentHeld_ = false;
  automation::uninitializeApartment();
}

bool WorkbookRun::startServer() {
#ifdef _WIN32
  const ServerSetting setting = serverSettingFromEnvironment();
  tellUnknownChoiceOnce(setting, messages_);
  openReport_ = setting.openReport;
  if (setting.choice != ServerChoice::Embedded &&
      session_.application.createByProgId(kSpreadsheetProgId)) {
    return true;
  }
  if (setting.choice == ServerChoice::Com) return false;
  embedded_ =
      session_.application.createByProgId(kSpreadsheetProgId, automation::ServerRoute::Embedded);
  return embedded_;
#else
  // The embedded engine is the only server here, and the default one.
  return session_.application.createByProgId(kSpreadsheetProgId);
#endif
}

Outcome WorkbookRun::guarded(const std::function<Outcome()>& step,
                             const std::function<void()>& afterFailure) {
  Outcome outcome;
  try {
    outcome = step();
  } catch (const std::exception& error) {
    reportRunFailure(messages_, error, policy_.otherFailurePrefix);
    if (afterFailure) afterFailure();
    releaseAll();
    if (policy_.uninitializeAfterFailure) handBackApartment();
    return Outcome::Failed;
  }
  openSavedReport();
  return outcome;
}

// Excel keeps the filled workbook on screen; the engine's saved one is shown by the program
// the system associates with it. The report is saved either way, so a failure to open it is
// told but the run stays a good one.
void WorkbookRun::openSavedReport() {
  if (!embedded_ || !openReport_ || !session_.saved) return;
  session_.saved = false;
  // The engine lets go of the workbook before another program opens it.
  releaseAll();
#ifdef _WIN32
  if (!platform::openWithAssociatedProgram(session_.templatePath)) {
    messages_.show(
        platform::format(kReportNotOpened, platform::gbkToUtf8(session_.templatePath).c_str()),
        platform::Buttons::Ok);
  }
#endif
}

}  // namespace qx::report
