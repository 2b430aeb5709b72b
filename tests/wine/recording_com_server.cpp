// The recording server as an in-process COM server: the class COM creates for the ProgID
// "Excel.Application", and plain C functions through which a test in the same process reads
// the log. One recording server per process. When QX_RECORDING_LOG names a file, the call log
// and the references left are written there as the library leaves the process, so that a test
// can see what happened inside another program.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "automation/server_registry.h"
#include "platform/code_page.h"
#include "tests/com/fake_factory.h"
#include "tests/support/recording_server.h"
#include "tests/wine/call_log.h"
#include "tests/wine/dispatch_adapter.h"
#include "tests/wine/recording_server_ids.h"
#include "tests/wine/server_failure.h"

namespace qx::testing {
namespace {

// Created on first use and never destroyed: objects handed out may outlive any static.
testing::RecordingServer* server = nullptr;

int environmentNumber(const char* name, int fallback) {
  char text[16];
  const DWORD length = GetEnvironmentVariableA(name, text, sizeof text);
  if (length == 0 || length >= sizeof text) return fallback;
  return std::max(1, std::atoi(text));
}

testing::RecordingServer& recordingServer(int sheets = 0) {
  if (server == nullptr) {
    server = new testing::RecordingServer(sheets > 0 ? sheets
                                                     : environmentNumber("QX_RECORDING_SHEETS", 1));
    // In this library's own registry, which is where CreateInstance asks.
    server->registerAs("Excel.Application");
    wchar_t failure[512];
    const DWORD length = GetEnvironmentVariableW(L"QX_RECORDING_FAIL", failure, 512);
    if (length > 0 && length < 512) {
      planFailure(*server, platform::utf16ToUtf8(
                               std::u16string(reinterpret_cast<const char16_t*>(failure), length)));
    }
  }
  return *server;
}

// "references left: 0" and where the library left the process, after the calls.
std::string logFileText(bool beforeProcessEnd) {
  std::string text = logText(recordingServer().calls());
  text += "references left: " + std::to_string(recordingServer().outstandingReferences()) + "\n";
  text += beforeProcessEnd ? "unloaded: before the process ended\n"
                           : "unloaded: as the process ended\n";
  return text;
}

void writeLogFile(bool beforeProcessEnd) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"QX_RECORDING_LOG", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  const std::string text = logFileText(beforeProcessEnd);
  HANDLE file =
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

IDispatch* newApplication() {
  recordingServer();
  return adaptDispatch(automation::createServerObject("Excel.Application"));
}

Factory factory(newApplication);

}  // namespace
}  // namespace qx::testing

using qx::testing::recordingServer;

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    DllGetClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(classId, kRecordingServerClassId)) return CLASS_E_CLASSNOTAVAILABLE;
  return qx::testing::factory.QueryInterface(iid, object);
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  const bool inUse =
      qx::testing::server != nullptr && recordingServer().outstandingReferences() > 0;
  return !inUse && qx::testing::Factory::locks() == 0 ? S_OK : S_FALSE;
}

// A fresh server with `sheets` worksheets. 0 while clients still hold its objects.
extern "C" __declspec(dllexport) int qx_recording_reset(int sheets) {
  if (qx::testing::server != nullptr) {
    if (qx::testing::server->outstandingReferences() != 0) return 0;
    delete qx::testing::server;
    qx::testing::server = nullptr;
  }
  recordingServer(sheets);
  return 1;
}

// The call log; copies at most size - 1 bytes and a NUL, returns the whole log's length.
extern "C" __declspec(dllexport) int qx_recording_log_text(char* buffer, int size) {
  const std::string text = qx::testing::logText(recordingServer().calls());
  if (buffer != nullptr && size > 0) {
    const std::size_t copied = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
  }
  return static_cast<int>(text.size());
}

extern "C" __declspec(dllexport) int qx_recording_outstanding_references() {
  return recordingServer().outstandingReferences();
}

extern "C" __declspec(dllexport) int qx_recording_objects_created() {
  return recordingServer().objectsCreated();
}

// Null `reserved` on detach: the library is freed while the process lives on, as COM frees
// in-process servers when the last apartment of the thread is uninitialised.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && qx::testing::server != nullptr) {
    qx::testing::writeLogFile(reserved == nullptr);
  }
  return TRUE;
}
