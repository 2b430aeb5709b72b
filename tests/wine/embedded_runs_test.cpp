// The built Windows deliverables with no "Excel.Application" in the prefix and the user's
// setting on the embedded engine (or on auto, which falls back to it): each fills the example
// template and tells what the COM run tells. The saved reports are kept for
// tests/wine/workbook_summary.py, which holds them to the Linux engine's reports for the same
// records. The program the prefix opens .xlsx files with is qx_opened_recorder.exe: it must be
// started on the saved report after a good run, and not after a failed one or when the setting
// says not to.

#include <windows.h>
// After windows.h, which it needs.
#include <objbase.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/paths.h"
#include "tests/support/temp_dir.h"
#include "tests/wine/built_binaries.h"
#include "tests/wine/expected_files.h"
#include "tests/wine/reports.h"

namespace qx::testing {

void PrintTo(const RoutedReport& routed, std::ostream* out) {
  *out << routed.report.name << " (" << routed.route << ")";
}

namespace {

namespace fs = std::filesystem;

class EmbeddedRun : public ::testing::TestWithParam<RoutedReport> {
 protected:
  void SetUp() override {
    CLSID registered;
    ASSERT_NE(CLSIDFromProgID(L"Excel.Application", &registered), S_OK)
        << "\"Excel.Application\" is registered in this prefix; these runs need it absent";
    configuration = platform::configDirectory();
    std::error_code error;
    fs::create_directories(configuration, error);
    ASSERT_FALSE(error) << "drive D: is not mapped (the wine_drive_d fixture maps it)";
    prepared = report().prepare(configuration);
  }

  const Report& report() const { return GetParam().report; }

  // The report as the host runs it; the exit code of heron, 0 for a library.
  int run() {
    if (report().deliverable == Deliverable::Heron)
      return runProgram(builtPath(Deliverable::Heron));
    EXPECT_TRUE(callLibrary(report().deliverable, prepared, report().apartmentsLeft));
    return 0;
  }
  std::string messages() const {
    return withPlaceholders(readWholeFile(messageLog).value_or(""), prepared, false);
  }
  // The files the associated program was started on, by their placeholders. A started program
  // writes at once; one that should not start is given the same time to show up.
  std::string opened(std::size_t expected) const {
    return withPlaceholders(
        openedFiles(openedLog, expected > 0 ? 20 : 1.5, expected == 0 ? 1 : expected), prepared,
        false);
  }

  TempDir dir;
  fs::path messageLog = dir.path() / "messages.log";
  fs::path openedLog = dir.path() / "opened.log";
  ScopedEnv messageEnv{"QX_MESSAGE_LOG", messageLog.string()};
  ScopedEnv openedEnv{"QX_OPENED_LOG", openedLog.string()};
  ScopedEnv routeEnv{"QX_SPREADSHEET_SERVER", GetParam().route};
  fs::path configuration;
  PreparedReport prepared;
};

TEST_P(EmbeddedRun, FillsTheExampleReportAndOpensIt) {
  useExampleFiles(report(), prepared);
  const fs::path copy =
      freshSavedCopyPath(fs::path(QX_EMBEDDED_WORKBOOKS_DIR) / GetParam().route, report());
  const auto example = readWholeFile(templateOf(prepared));
  EXPECT_EQ(run(), report().exitCode);
  EXPECT_EQ(messages(), expectedMessageLog(report()));
  // A run that saved (a missing picture is told, and the report saved all the same) opens
  // the report; the workbook checks expect every report the Linux engine saved.
  if (example && readWholeFile(templateOf(prepared)) != example) {
    EXPECT_EQ(opened(1), "<template>\n");
    fs::copy_file(templateOf(prepared), copy);
  } else {
    EXPECT_EQ(opened(0), "");
  }
}

// QX_OPEN_REPORT=0: the report is saved as always, and left closed.
using SavingEmbeddedRun = EmbeddedRun;

TEST_P(SavingEmbeddedRun, OpensNothingWhenTheSettingSaysNo) {
  ScopedEnv openEnv("QX_OPEN_REPORT", " NO ");
  useExampleFiles(report(), prepared);
  const auto before = readWholeFile(templateOf(prepared));
  EXPECT_EQ(run(), report().exitCode);
  EXPECT_EQ(messages(), expectedMessageLog(report()));
  EXPECT_NE(readWholeFile(templateOf(prepared)), before) << "the report was not saved";
  EXPECT_EQ(opened(0), "");
}

// The stand-in template is no workbook: the engine cannot open it, the run ends on one failure
// message, the file stays as it was and nothing is opened.
TEST_P(SavingEmbeddedRun, OpensNothingAfterAFailedRun) {
  const int code = run();
  if (report().deliverable == Deliverable::Heron) {
    EXPECT_NE(code, 0);
  }
  const std::vector<std::string> shown = lines(messages());
  ASSERT_EQ(shown.size(), 1u) << messages();
  EXPECT_EQ(shown[0].rfind("Excel 操作失败: ", 0), 0u) << shown[0];
  EXPECT_EQ(readWholeFile(templateOf(prepared)), "PK");
  EXPECT_EQ(opened(0), "");
}

const auto kRouteAndName = [](const auto& info) {
  return info.param.route + "_" + info.param.report.name;
};

std::vector<RoutedReport> filling(const std::string& route) {
  std::vector<RoutedReport> all = routedReports(engineReports(), false, route);
  for (RoutedReport& program : routedReports(engineReports(), true, route)) {
    all.push_back(program);
  }
  return all;
}

std::vector<RoutedReport> saving(const std::string& route) {
  std::vector<RoutedReport> chosen;
  for (const RoutedReport& routed : filling(route)) {
    if (routed.report.messages.empty()) chosen.push_back(routed);
  }
  return chosen;
}

INSTANTIATE_TEST_SUITE_P(Embedded, EmbeddedRun, ::testing::ValuesIn(filling("embedded")),
                         kRouteAndName);
INSTANTIATE_TEST_SUITE_P(Auto, EmbeddedRun, ::testing::ValuesIn(filling("auto")), kRouteAndName);
INSTANTIATE_TEST_SUITE_P(Embedded, SavingEmbeddedRun, ::testing::ValuesIn(saving("embedded")),
                         kRouteAndName);

}  // namespace
}  // namespace qx::testing
