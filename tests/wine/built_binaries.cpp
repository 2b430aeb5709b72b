#include "tests/wine/built_binaries.h"

#include <windows.h>
// After windows.h, which it needs.
#include <objbase.h>

#include <chrono>
#include <thread>

#include "platform/code_page.h"
#include "tests/support/loaded_library.h"
#include "tests/wine/expected_files.h"

namespace qx::testing {

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

bool callLibrary(Deliverable deliverable, const PreparedReport& prepared, int apartmentsLeft) {
  {
    LoadedLibrary library(builtPath(deliverable));
    using Export = void (*)(const void*, const void*);
    const auto exported = reinterpret_cast<Export>(library.symbol(exportName(deliverable)));
    if (exported == nullptr) return false;
    exported(prepared.header, prepared.firstRow);
  }
  for (int i = 0; i < apartmentsLeft; ++i) CoUninitialize();
  return true;
}

ProcessEnv::ProcessEnv(const wchar_t* name, const std::string& utf8) : name_(name) {
  const std::u16string value = platform::utf8ToUtf16(utf8);
  SetEnvironmentVariableW(name,
                          utf8.empty() ? nullptr : reinterpret_cast<const wchar_t*>(value.c_str()));
}

ProcessEnv::~ProcessEnv() {
  SetEnvironmentVariableW(name_, nullptr);
}

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

std::vector<RoutedReport> routedReports(const std::vector<Report>& chosen, bool program,
                                        const std::string& route) {
  std::vector<RoutedReport> routed;
  for (const Report& report : chosen) {
    if (builtPath(report.deliverable) != nullptr &&
        (report.deliverable == Deliverable::Heron) == program) {
      routed.push_back({report, route});
    }
  }
  return routed;
}

std::string unknownRouteMessage(const std::string& value) {
  return "环境变量 QX_SPREADSHEET_SERVER 的值“" + value +
         "”无效 (可用 com、embedded、auto), 使用 COM!\n";
}

std::string openedFiles(const std::filesystem::path& log, double seconds, std::size_t count) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::string text;
  while (std::chrono::steady_clock::now() < until) {
    text = readWholeFile(log).value_or("");
    if (lines(text).size() >= count) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return text;
}

}  // namespace qx::testing
