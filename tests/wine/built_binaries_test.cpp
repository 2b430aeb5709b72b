// The built Windows deliverables, used the way the host uses them: a library loaded by file
// name and called by its plain export name with records laid out byte by byte, the program
// started as a process. They reach the recording server through COM (CLSIDFromProgID,
// CoCreateInstance, OleRun, IDispatch), and its call log must match the in-process one kept in
// expected/. The configuration directory D:\qx_conf lies on a drive D: the test fixture maps
// to a folder of the build tree. The same runs with QX_SPREADSHEET_SERVER on com, on auto (the
// recording server answers, so the embedded engine stays unused) and on a value that names no
// choice (told once, COM used) must leave the same logs.

#include <windows.h>
// After windows.h, which it needs.
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/paths.h"
#include "tests/support/loaded_library.h"
#include "tests/support/temp_dir.h"
#include "tests/wine/built_binaries.h"
#include "tests/wine/expected_files.h"
#include "tests/wine/recording_server_ids.h"
#include "tests/wine/reports.h"

namespace qx::testing {

void PrintTo(const Report& report, std::ostream* out) {
  *out << report.name;
}

void PrintTo(const RoutedReport& routed, std::ostream* out) {
  *out << routed.report.name << " (" << routed.route << ")";
}

void PrintTo(Deliverable deliverable, std::ostream* out) {
  *out << deliverableName(deliverable);
}

namespace {

constexpr const char* kUnknownRoute = "excel";

// The recording server's library, the same module COM loads for "Excel.Application": loaded
// once and kept, so that its server outlives every run.
class ServerLibrary {
 public:
  static ServerLibrary& instance() {
    static ServerLibrary library;
    return library;
  }
  bool reset(int sheets) { return reset_(sheets) != 0; }
  std::string log() {
    std::string text(static_cast<std::size_t>(logText_(nullptr, 0)) + 1, '\0');
    text.resize(static_cast<std::size_t>(logText_(text.data(), static_cast<int>(text.size()))));
    return text;
  }
  int outstandingReferences() { return outstanding_(); }

 private:
  ServerLibrary()
      : library_(QX_RECORDING_SERVER),
        reset_(reinterpret_cast<int (*)(int)>(library_.symbol("qx_recording_reset"))),
        logText_(reinterpret_cast<int (*)(char*, int)>(library_.symbol("qx_recording_log_text"))),
        outstanding_(
            reinterpret_cast<int (*)()>(library_.symbol("qx_recording_outstanding_references"))) {
    if (!reset_ || !logText_ || !outstanding_) throw std::runtime_error("server exports missing");
  }
  LoadedLibrary library_;
  int (*reset_)(int);
  int (*logText_)(char*, int);
  int (*outstanding_)();
};

class BuiltBinaryRun : public ::testing::TestWithParam<RoutedReport> {
 protected:
  void SetUp() override {
    CLSID registered;
    ASSERT_EQ(CLSIDFromProgID(L"Excel.Application", &registered), S_OK)
        << "scripts/register-test-servers.sh <preset> excel registers the recording server";
    ASSERT_TRUE(IsEqualCLSID(registered, kRecordingServerClassId))
        << "\"Excel.Application\" names another class in this prefix";
    configuration = platform::configDirectory();
    std::error_code error;
    std::filesystem::create_directories(configuration, error);
    ASSERT_FALSE(error) << "drive D: is not mapped (the wine_drive_d fixture maps it)";
    prepared = report().prepare(configuration);
  }

  const Report& report() const { return GetParam().report; }
  std::string messages() const {
    return withPlaceholders(readWholeFile(messageLog).value_or(""), prepared, false);
  }
  std::string expectedMessages() const {
    // Told as the server is started: a run that stops before (no calls) tells nothing of it.
    const std::string& route = GetParam().route;
    const bool started = !expectedLog().empty();
    return (route == kUnknownRoute && started ? unknownRouteMessage(route) : "") +
           expectedMessageLog(report());
  }
  // Whatever the setting, COM served: the engine neither filled the stand-in template nor
  // opened a report. Waits for a report opener only where the engine could have run at all.
  void expectTheEngineUnused() {
    if (GetParam().route.empty()) return;
    const std::filesystem::path workbook = templateOf(prepared);
    if (std::filesystem::exists(workbook)) {
      EXPECT_EQ(readWholeFile(workbook), "PK");
    }
    const std::string& route = GetParam().route;
    if (route == "auto" || route == "AUTO") {
      EXPECT_EQ(openedFiles(openedLog, 1.5, 1), "");
    }
  }
  std::string expectedLog() const {
    return readWholeFile(expectedLogPath(report())).value_or("(no expected log)");
  }

  TempDir dir;
  std::filesystem::path messageLog = dir.path() / "messages.log";
  ScopedEnv messageEnv{"QX_MESSAGE_LOG", messageLog.string()};
  ProcessEnv failureEnv{L"QX_RECORDING_FAIL", GetParam().report.failure};
  ScopedEnv routeEnv{"QX_SPREADSHEET_SERVER", GetParam().route};
  std::filesystem::path openedLog = dir.path() / "opened.log";
  ScopedEnv openedEnv{"QX_OPENED_LOG", openedLog.string()};
  std::filesystem::path configuration;
  PreparedReport prepared;
};

using LibraryRun = BuiltBinaryRun;

TEST_P(LibraryRun, CallsMatchTheInProcessRun) {
  ServerLibrary& server = ServerLibrary::instance();
  ASSERT_TRUE(server.reset(report().sheets));
  {
    LoadedLibrary library(builtPath(report().deliverable));
    using Export = void (*)(const void*, const void*);
    const auto exported =
        reinterpret_cast<Export>(library.symbol(exportName(report().deliverable)));
    ASSERT_NE(exported, nullptr) << exportName(report().deliverable);
    exported(prepared.header, prepared.firstRow);
  }
  // A second initialisation only reports S_FALSE while the library's own is still there.
  const HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  EXPECT_EQ(again, report().apartmentsLeft > 0 ? S_FALSE : S_OK);
  if (SUCCEEDED(again)) CoUninitialize();
  for (int i = 0; i < report().apartmentsLeft; ++i) CoUninitialize();

  EXPECT_EQ(server.outstandingReferences(), 0);
  EXPECT_EQ(messages(), expectedMessages());
  EXPECT_EQ(withPlaceholders(server.log(), prepared, true), expectedLog());
  expectTheEngineUnused();
}

// The unknown value is told once per process: a second run in it tells nothing more, though
// the library was freed and loaded again between the two, as the host may do.
using RepeatedLibraryRun = BuiltBinaryRun;

TEST_P(RepeatedLibraryRun, AnUnknownSettingIsToldOncePerProcess) {
  for (int run = 0; run < 2; ++run) {
    ServerLibrary& server = ServerLibrary::instance();
    ASSERT_TRUE(server.reset(report().sheets));
    std::filesystem::remove(messageLog);
    prepared = report().prepare(configuration);
    ASSERT_TRUE(callLibrary(report().deliverable, prepared, report().apartmentsLeft));
    EXPECT_EQ(messages(), run == 0 ? expectedMessages() : expectedMessageLog(report()));
    EXPECT_EQ(withPlaceholders(server.log(), prepared, true), expectedLog()) << "run " << run;
  }
}

const auto kReportName = [](const auto& info) { return info.param.report.name; };

// The reports that run to the save and tell nothing.
std::vector<Report> goodReports() {
  std::vector<Report> good;
  for (const Report& report : engineReports()) {
    if (report.messages.empty()) good.push_back(report);
  }
  return good;
}

INSTANTIATE_TEST_SUITE_P(UnknownValue, RepeatedLibraryRun,
                         ::testing::ValuesIn(routedReports(goodReports(), false, kUnknownRoute)),
                         kReportName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RepeatedLibraryRun);

INSTANTIATE_TEST_SUITE_P(Reports, LibraryRun,
                         ::testing::ValuesIn(routedReports(reports(), false, "")), kReportName);
INSTANTIATE_TEST_SUITE_P(Com, LibraryRun,
                         ::testing::ValuesIn(routedReports(reports(), false, " Com ")),
                         kReportName);
INSTANTIATE_TEST_SUITE_P(Auto, LibraryRun,
                         ::testing::ValuesIn(routedReports(reports(), false, "auto")), kReportName);
INSTANTIATE_TEST_SUITE_P(UnknownValue, LibraryRun,
                         ::testing::ValuesIn(routedReports(reports(), false, kUnknownRoute)),
                         kReportName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(LibraryRun);

using ProgramRun = BuiltBinaryRun;

TEST_P(ProgramRun, CallsMatchTheInProcessRun) {
  const std::filesystem::path recording = dir.path() / "recording.log";
  ScopedEnv recordingEnv("QX_RECORDING_LOG", recording.string());
  ScopedEnv sheetsEnv("QX_RECORDING_SHEETS", std::to_string(report().sheets));
  EXPECT_EQ(runProgram(builtPath(report().deliverable)), report().exitCode);

  // The server's library wrote its log as it left the program: calls, references, and whether
  // COM freed it before the program ended, which it does when the program uninitialises.
  std::vector<std::string> written = lines(readWholeFile(recording).value_or(""));
  ASSERT_GE(written.size(), 2u) << "the server never served the program";
  EXPECT_EQ(written.back(), "unloaded: before the process ended");
  EXPECT_EQ(written[written.size() - 2], "references left: 0");
  written.resize(written.size() - 2);
  std::string log;
  for (const std::string& line : written) log += line + "\n";
  EXPECT_EQ(withPlaceholders(log, prepared, true), expectedLog());
  EXPECT_EQ(messages(), expectedMessages());
  expectTheEngineUnused();
}

INSTANTIATE_TEST_SUITE_P(Reports, ProgramRun,
                         ::testing::ValuesIn(routedReports(reports(), true, "")), kReportName);
INSTANTIATE_TEST_SUITE_P(Com, ProgramRun,
                         ::testing::ValuesIn(routedReports(reports(), true, "com")), kReportName);
INSTANTIATE_TEST_SUITE_P(Auto, ProgramRun,
                         ::testing::ValuesIn(routedReports(reports(), true, "AUTO")), kReportName);
INSTANTIATE_TEST_SUITE_P(UnknownValue, ProgramRun,
                         ::testing::ValuesIn(routedReports(reports(), true, kUnknownRoute)),
                         kReportName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ProgramRun);

}  // namespace
}  // namespace qx::testing

namespace qx::testing {
namespace {

// The libraries a module imports, in lower case, read from its import directory; mapped
// without running it or loading what it imports.
std::vector<std::string> importsOf(const char* path) {
  std::string file = path;
  if (!file.empty() && file[0] == '/') file = "Z:" + file;
  std::replace(file.begin(), file.end(), '/', '\\');
  HMODULE module = LoadLibraryExA(file.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (module == nullptr) throw std::runtime_error("cannot map " + file);
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  std::vector<std::string> names;
  const auto* entry =
      reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
  for (; directory.VirtualAddress != 0 && entry->Name != 0; ++entry) {
    std::string name = reinterpret_cast<const char*>(base + entry->Name);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    names.push_back(name);
  }
  FreeLibrary(module);
  return names;
}

class Deliverables : public ::testing::TestWithParam<Deliverable> {};

// A static runtime: nothing beside the deliverable but what every Windows system has.
TEST_P(Deliverables, ImportOnlyTheSystemsLibraries) {
  const std::set<std::string> system = {"kernel32.dll", "msvcrt.dll", "ole32.dll",
                                        "oleaut32.dll", "user32.dll", "advapi32.dll",
                                        "shell32.dll"};
  const std::vector<std::string> imports = importsOf(builtPath(GetParam()));
  EXPECT_FALSE(imports.empty());
  for (const std::string& name : imports) EXPECT_TRUE(system.count(name)) << name;
}

std::vector<Deliverable> builtDeliverables() {
  std::vector<Deliverable> built;
  for (Deliverable d : {Deliverable::Heron, Deliverable::Vellum, Deliverable::VellumX,
                        Deliverable::Kestrel, Deliverable::Tamarack}) {
    if (builtPath(d) != nullptr) built.push_back(d);
  }
  return built;
}

INSTANTIATE_TEST_SUITE_P(Built, Deliverables, ::testing::ValuesIn(builtDeliverables()),
                         [](const auto& info) { return std::string(deliverableName(info.param)); });

}  // namespace
}  // namespace qx::testing
