// The fake objects served out of process: COM starts this program for the LocalServer32
// class and calls arrive marshalled from the test process. The class serves one creation, so
// every test session gets a process of its own and none is handed a server on its way out; the
// session's control object comes from the objects it was given, never from another process.
// It ends when the last object and control are gone, or when nobody comes.
#include <windows.h>

#include "tests/com/fake_control.h"
#include "tests/com/fake_factory.h"
#include "tests/com/fake_object.h"
#include "tests/com/fake_server_ids.h"

namespace {

constexpr UINT kTickMs = 100;
constexpr int kIdleTicksBeforeFirstClient = 300;  // 30 s
constexpr int kMostTicks = 900;  // 90 s: a client that died holding objects ends nothing else

bool idle() {
  return qx::testing::state().liveObjects == 0 && qx::testing::liveControls() == 0 &&
         qx::testing::Factory::locks() == 0;
}

}  // namespace

int main() {
  if (FAILED(CoInitialize(nullptr))) return 1;
  qx::testing::state().deferredFillIn = false;
  qx::testing::state().makeControl = qx::testing::makeControl;
  static qx::testing::Factory objects(
      []() -> IDispatch* { return qx::testing::FakeObject::make(); });
  const CLSID objectClass = QX_FAKE_LOCAL_CLSID_INIT;
  DWORD objectCookie = 0;
  if (FAILED(CoRegisterClassObject(objectClass, &objects, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE,
                                   &objectCookie))) {
    CoUninitialize();
    return 1;
  }
  // Calls into a single-threaded apartment arrive as window messages.
  SetTimer(nullptr, 0, kTickMs, nullptr);
  int ticks = 0;
  MSG message;
  while (GetMessage(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER) {
      ++ticks;
      const bool served = qx::testing::state().nextSerial > 1 || qx::testing::controlsMade() > 0;
      if (idle() && (served || ticks > kIdleTicksBeforeFirstClient)) break;
      if (ticks > kMostTicks) break;
    }
    DispatchMessage(&message);
  }
  CoRevokeClassObject(objectCookie);
  CoUninitialize();
  return 0;
}
