// The built Windows deliverables, used the way the host uses them: a library loaded by file
// name and called by its plain export name with records laid out byte by byte, the program
// started as a process. They reach the recording server through COM (CLSIDFromProgID,
// CoCreateInstance, OleRun, IDispatch), and its call log must match the in-process one kept in
// expected/. The configuration directory D:\qx_conf lies on a drive D: the test fixture maps
// to a folder of the build tree.

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
#include "tests/wine/expected_files.h"
#include "tests/wine/recording_server_ids.h"
#include "tests/wine/reports.h"

namespace qx::wine {

void PrintTo(const Report& report, std::ostream* out) {
  *out << report.name;
}

void PrintTo(Deliverable deliverable, std::ostream* out) {
  *out << deliverableName(deliverable);
}

namespace {

using testing::LoadedLibrary;

// The deliverables of this build; null for one that belongs to the other architecture.
const char* builtPath(Deliverable deliverable) {
  switch (deliverable) {
#ifdef QX_BUILT_HERON
    case Deliverable::Heron:
      return QX_BUILT_HERON;
#endif
#ifdef QX_BUILT_VELLUM
    case Deliverable::Vellum:
      return QX_BUILT_VELLUM;
#endif
#ifdef QX_BUILT_VELLUM_X
    case Deliverable::VellumX:
      return QX_BUILT_VELLUM_X;
#endif
#ifdef QX_BUILT_KESTREL
    case Deliverable::Kestrel:
      return QX_BUILT_KESTREL;
#endif
#ifdef QX_BUILT_TAMARACK
    case Deliverable::Tamarack:
      return QX_BUILT_TAMARACK;
#endif
    default:
      return nullptr;
  }
}

std::vector<Report> reportsOf(bool program) {
  std::vector<Report> chosen;
  for (const Report& report : reports()) {
    if (builtPath(report.deliverable) != nullptr &&
        (report.deliverable == Deliverable::Heron) == program) {
      chosen.push_back(report);
    }
  }
  return chosen;
}

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

// An environment variable of the process itself (not only of the C runtime's copy), set in
// UTF-16 so that any text reaches the server's library and the programs started here intact.
class ProcessEnv {
 public:
  ProcessEnv(const wchar_t* name, const std::string& utf8) : name_(name) {
    const std::u16string value = platform::utf8ToUtf16(utf8);
    SetEnvironmentVariableW(
        name, utf8.empty() ? nullptr : reinterpret_cast<const wchar_t*>(value.c_str()));
  }
  ~ProcessEnv() { SetEnvironmentVariableW(name_, nullptr); }
  ProcessEnv(const ProcessEnv&) = delete;
  ProcessEnv& operator=(const ProcessEnv&) = delete;

 private:
  const wchar_t* name_;
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    out.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

class BuiltBinaryRun : public ::testing::TestWithParam<Report> {
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

  const Report& report() const { return GetParam(); }
  std::string messages() const {
    return withPlaceholders(readWholeFile(messageLog).value_or(""), prepared, false);
  }
  std::string expectedLog() const {
    return readWholeFile(expectedLogPath(report())).value_or("(no expected log)");
  }

  testing::TempDir dir;
  std::filesystem::path messageLog = dir.path() / "messages.log";
  testing::ScopedEnv messageEnv{"QX_MESSAGE_LOG", messageLog.string()};
  ProcessEnv failureEnv{L"QX_RECORDING_FAIL", GetParam().failure};
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
  EXPECT_EQ(messages(), expectedMessageLog(report()));
  EXPECT_EQ(withPlaceholders(server.log(), prepared, true), expectedLog());
}

INSTANTIATE_TEST_SUITE_P(Reports, LibraryRun, ::testing::ValuesIn(reportsOf(false)),
                         [](const auto& info) { return info.param.name; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(LibraryRun);

using ProgramRun = BuiltBinaryRun;

// Runs the program with this process's environment; returns its exit code, or -1.
int runProgram(const char* path) {
  std::string file = path;
  if (!file.empty() && file[0] == '/') file = "Z:" + file;
  for (char& c : file) c = c == '/' ? '\\' : c;
  std::string commandLine = "\"" + file + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(file.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 99);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

TEST_P(ProgramRun, CallsMatchTheInProcessRun) {
  const std::filesystem::path recording = dir.path() / "recording.log";
  testing::ScopedEnv recordingEnv("QX_RECORDING_LOG", recording.string());
  testing::ScopedEnv sheetsEnv("QX_RECORDING_SHEETS", std::to_string(report().sheets));
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
  EXPECT_EQ(messages(), expectedMessageLog(report()));
}

INSTANTIATE_TEST_SUITE_P(Reports, ProgramRun, ::testing::ValuesIn(reportsOf(true)),
                         [](const auto& info) { return info.param.name; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ProgramRun);

}  // namespace
}  // namespace qx::wine

namespace qx::wine {
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
                                        "oleaut32.dll", "user32.dll", "advapi32.dll"};
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
}  // namespace qx::wine
