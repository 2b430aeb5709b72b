#pragma once
// The skeleton every exporter's run shares: the apartment lease, the workbook session, and the
// one place where a failure in the middle is caught, told and cleaned up after. The exporter
// brings its checks, its messages and its fill; its policy says what differs.

#include <functional>

#include "platform/messages.h"
#include "report/exporter_policy.h"
#include "report/workbook_session.h"

namespace qx::report {

class WorkbookRun {
 public:
  WorkbookRun(const ExporterPolicy& policy, platform::Messages& messages)
      : policy_(policy), messages_(messages) {}
  WorkbookRun(const WorkbookRun&) = delete;
  WorkbookRun& operator=(const WorkbookRun&) = delete;
  // Releases every holder (the Application last), then hands the apartment back when the
  // policy does so after a good run.
  ~WorkbookRun();

  // CoInitialize on the calling thread; false, with nothing held, when it fails.
  bool leaseApartment();
  // CoUninitialize now, when the lease is held; the lease ends.
  void handBackApartment();

  // Creates the server by ProgID into the session; false when it cannot be started. On Windows
  // the user's setting (report/server_choice.h) picks COM, the embedded engine, or COM and the
  // engine when COM cannot start one.
  bool startServer();

  // Runs `step`. Whatever it throws ends the run: one message (reportRunFailure with the
  // policy's prefix), then `afterFailure` (the exporter closes what it keeps open), then every
  // holder is released and the apartment handed back when the policy says so. Returns false
  // after such a failure. When the step ends normally after the embedded engine saved the
  // workbook, the saved report is opened for the user unless the setting says not to.
  bool guarded(const std::function<void()>& step, const std::function<void()>& afterFailure = {});

  WorkbookSession& session() { return session_; }

 private:
  const ExporterPolicy& policy_;
  platform::Messages& messages_;
  WorkbookSession session_;
  bool apartmentHeld_ = false;
  bool embedded_ = false;    // the embedded engine serves this run
  bool openReport_ = false;  // the setting asks for the saved report to be opened

  void openSavedReport();
};

}  // namespace qx::report
