#pragma once
// The skeleton every exporter's run shares: the template check, the apartment lease, the
// server, the workbook session and its table, the ends of a run that stops after the template
// was opened, and the one place where a failure in the middle is caught, told and cleaned up
// after. The exporter brings its checks, its own messages and its fill; its policy says what
// differs, the start-up texts included.

#include <functional>
#include <string_view>

#include "platform/messages.h"
#include "report/exporter_policy.h"
#include "report/run_outcome.h"
#include "report/table.h"
#include "report/workbook_session.h"

namespace qx::report {

class WorkbookRun {
 public:
  WorkbookRun(const ExporterPolicy& policy, platform::Messages& messages)
      : policy_(policy), messages_(messages), table_(session_, policy, messages) {}
  WorkbookRun(const WorkbookRun&) = delete;
  WorkbookRun& operator=(const WorkbookRun&) = delete;
  // Releases every holder (the Application last), then hands the apartment back when the
  // policy does so after a good run.
  ~WorkbookRun();

  // True when the template can be opened for binary reading (it is closed again at once);
  // otherwise false after the policy's TemplateMissing text.
  bool checkTemplate(std::string_view templatePath);

  // Leases the apartment and starts the server. False after the policy's text for the step
  // that failed; a server that did not start hands the apartment back after its text, unless
  // the text could not be had.
  bool start();

  // CoInitialize on the calling thread; false, with nothing held, when it fails.
  bool leaseApartment();
  // CoUninitialize now, when the lease is held; the lease ends.
  void handBackApartment();

  // Creates the server by ProgID into the session; false when it cannot be started. On Windows
  // the user's setting (report/server_choice.h) picks COM, the embedded engine, or COM and the
  // engine when COM cannot start one.
  bool startServer();

  // Opens the template in the started server (openTemplate of workbook_session.h).
  void openTemplate(std::string_view templatePath);
  // Workbook.Save.
  void save();
  // Workbook.Close with SaveChanges and RouteWorkbook missing and the template's path as
  // Filename: the workbook goes unchanged.
  void closeTemplate();
  // Workbooks.Close and Application.Quit, then every holder released and the apartment handed
  // back: nothing of a run that stops after the template was opened stays behind.
  void abandon();

  // Runs `step` and returns its outcome. Whatever it throws ends the run: one message
  // (reportRunFailure with the policy's prefix), then `afterFailure` (the exporter closes what
  // it keeps open), then every holder is released and the apartment handed back when the
  // policy says so; Failed. When the step ends normally after the embedded engine saved the
  // workbook, the saved report is opened for the user unless the setting says not to.
  Outcome guarded(const std::function<Outcome()>& step,
                  const std::function<void()>& afterFailure = {});

  // The sheet of the opened template.
  Table& table() { return table_; }

 private:
  const ExporterPolicy& policy_;
  platform::Messages& messages_;
  WorkbookSession session_;
  Table table_;
  bool apartmentHeld_ = false;
  bool embedded_ = false;    // the embedded engine serves this run
  bool openReport_ = false;  // the setting asks for the saved report to be opened

  bool tell(StartText which, std::string_view templatePath = {});
  void releaseAll();
  void openSavedReport();
};

}  // namespace qx::report
