// The in-process COM server around the fake objects: its class factory, the two entry points
// COM looks for, and the plain C functions through which tests read the log.
#include <windows.h>

#include "tests/com/fake_factory.h"
#include "tests/com/fake_log.h"
#include "tests/com/fake_object.h"
#include "tests/com/fake_server_ids.h"

namespace qx::testing {
namespace {

const CLSID kClassId = QX_FAKE_CLSID_INIT;
const CLSID kHandlerClassId = QX_FAKE_HANDLER_CLSID_INIT;

Factory factory([]() -> IDispatch* { return FakeObject::make(); });

}  // namespace
}  // namespace qx::testing

using qx::testing::state;

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    DllGetClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(classId, qx::testing::kClassId) &&
      !IsEqualCLSID(classId, qx::testing::kHandlerClassId)) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return qx::testing::factory.QueryInterface(iid, object);
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return state().liveObjects == 0 && qx::testing::Factory::locks() == 0 ? S_OK : S_FALSE;
}

extern "C" __declspec(dllexport) int qx_fake_call_count() {
  return static_cast<int>(state().calls.size());
}

extern "C" __declspec(dllexport) const qx::testing::RecordedCall* qx_fake_call(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= state().calls.size()) return nullptr;
  return &state().calls[static_cast<std::size_t>(index)];
}

extern "C" __declspec(dllexport) long qx_fake_outstanding() {
  return state().outstanding;
}

extern "C" __declspec(dllexport) void qx_fake_reset() {
  qx::testing::resetState();
}

extern "C" __declspec(dllexport) void qx_fake_fail_next(std::int32_t dispid, std::int32_t hresult,
                                                        std::int32_t scode, std::uint16_t wCode,
                                                        const char16_t* source,
                                                        const char16_t* description, int deferred) {
  qx::testing::PlannedFailure failure;
  failure.hresult = hresult;
  failure.scode = scode;
  failure.wCode = wCode;
  failure.source = source != nullptr ? source : u"";
  failure.description = description != nullptr ? description : u"";
  failure.deferred = deferred != 0;
  state().failures[dispid] = failure;
}

extern "C" __declspec(dllexport) void qx_fake_answer_next(std::int32_t dispid,
                                                          qx::testing::Answer answer) {
  state().answers[dispid] = answer;
}
