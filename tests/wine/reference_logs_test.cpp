// Every report through the in-process transport: the recording server registered in this
// process and the deliverables' own entry points. Its call logs are the references the runs of
// the Windows binaries through COM must match; QX_UPDATE_EXPECTED=1 rewrites them.

#include <gtest/gtest.h>

#include <cstdlib>

#include "automation/apartment.h"
#include "heron/program.h"
#include "kestrel/dual_spec_run.h"
#include "platform/messages.h"
#include "tamarack/export_run.h"
#include "tests/support/recording_server.h"
#include "tests/support/temp_dir.h"
#include "tests/wine/call_log.h"
#include "tests/wine/expected_files.h"
#include "tests/wine/reports.h"
#include "tests/wine/server_failure.h"
#include "vellum/build_rules.h"
#include "vellum/group_table_run.h"

namespace qx::testing {

void PrintTo(const Report& report, std::ostream* out) {
  *out << report.name;
}

namespace {

// The call the export or the program makes; returns the program's exit code (0 for a library).
int runInProcess(Deliverable deliverable, const PreparedReport& prepared) {
  platform::Messages& messages = platform::systemMessages();
  switch (deliverable) {
    case Deliverable::Vellum:
      vellum::exportGroupTable(prepared.header, prepared.firstRow, vellum::kVellumRules, messages);
      return 0;
    case Deliverable::VellumX:
      vellum::exportGroupTable(prepared.header, prepared.firstRow, vellum::kVellumXRules, messages);
      return 0;
    case Deliverable::Kestrel:
      kestrel::runDualSpecExport(
          kestrel::decodeDualSpecHeader(platform::Bytes(
              static_cast<const std::uint8_t*>(prepared.header), kestrel::kDualSpecHeaderSize)),
          static_cast<const std::uint8_t*>(prepared.firstRow), messages);
      return 0;
    case Deliverable::Tamarack:
      tamarack::runExport(tamarack::installedFiles(), messages);
      return 0;
    case Deliverable::Heron:
      return heron::runProgram(heron::initializeFramework, heron::fixedRunFiles());
  }
  return -1;
}

// A report's own configuration folder and message log, named by the environment as the host
// names them, for one run in this process.
struct RunFolder {
  TempDir dir;
  std::filesystem::path configuration = dir.path() / "qx_conf";
  std::filesystem::path messageLog = dir.path() / "messages.log";
  ScopedEnv confEnv{"QX_CONF_DIR", configuration.string()};
  ScopedEnv logEnv{"QX_MESSAGE_LOG", messageLog.string()};

  std::string messages(const PreparedReport& prepared) const {
    return withPlaceholders(readWholeFile(messageLog).value_or(""), prepared, false);
  }
};

// Runs the report in this process; the apartments it leaves open are counted, then closed.
void runCountingApartments(const Report& report, const PreparedReport& prepared) {
  const int depthBefore = automation::apartmentDepthForTesting();
  EXPECT_EQ(runInProcess(report.deliverable, prepared), report.exitCode);
  EXPECT_EQ(automation::apartmentDepthForTesting() - depthBefore, report.apartmentsLeft);
  while (automation::apartmentDepthForTesting() > depthBefore) {
    automation::uninitializeApartment();
  }
}

class ReferenceLog : public ::testing::TestWithParam<Report> {};

TEST_P(ReferenceLog, InProcessRunMatchesTheExpectedLog) {
  const Report& report = GetParam();
  RunFolder folder;
  RecordingServer server(report.sheets);
  server.registerAs("Excel.Application");
  if (!report.failure.empty()) {
    ASSERT_TRUE(planFailure(server, report.failure)) << report.failure;
  }
  const PreparedReport prepared = report.prepare(folder.configuration);

  runCountingApartments(report, prepared);
  EXPECT_EQ(server.outstandingReferences(), 0);
  EXPECT_EQ(folder.messages(prepared), expectedMessageLog(report));
  // A report that shows nothing got as far as saving; a reference log that stops short of it
  // would hide a run that failed the same way on both transports.
  if (report.messages.empty()) {
    EXPECT_EQ(server.saveCount(), 1);
  }

  const std::string log = withPlaceholders(logText(server.calls()), prepared, true);
  const std::filesystem::path expected = expectedLogPath(report);
  if (const char* update = std::getenv("QX_UPDATE_EXPECTED");
      update && std::string(update) == "1") {
    writeWholeFile(expected, log);
  }
  const std::optional<std::string> reference = readWholeFile(expected);
  ASSERT_TRUE(reference.has_value()) << expected << " is missing; QX_UPDATE_EXPECTED=1 writes it";
  EXPECT_EQ(log, *reference);
}

INSTANTIATE_TEST_SUITE_P(Reports, ReferenceLog, ::testing::ValuesIn(reports()),
                         [](const auto& info) { return info.param.name; });

// The same reports filled by the embedded engine from the example templates: what the Windows
// builds must fill alike when the user picks the engine. The saved reports are kept for
// tests/wine/workbook_summary.py, which reads them with openpyxl.
class EngineRun : public ::testing::TestWithParam<Report> {};

TEST_P(EngineRun, FillsTheExampleTemplateTellingWhatTheComRunTells) {
  const Report& report = GetParam();
  RunFolder folder;
  const PreparedReport prepared = report.prepare(folder.configuration);
  useExampleFiles(report, prepared);
  const std::filesystem::path copy = freshSavedCopyPath(QX_ENGINE_WORKBOOKS_DIR, report);
  const auto example = readWholeFile(templateOf(prepared));

  runCountingApartments(report, prepared);
  EXPECT_EQ(folder.messages(prepared), expectedMessageLog(report));
  // Every report the engine saved, a good run's or one that told a missing picture.
  if (example && readWholeFile(templateOf(prepared)) != example) {
    std::filesystem::copy_file(templateOf(prepared), copy);
  } else {
    EXPECT_FALSE(report.messages.empty()) << "a good run saves its report";
  }
}

INSTANTIATE_TEST_SUITE_P(Reports, EngineRun, ::testing::ValuesIn(engineReports()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace qx::testing
