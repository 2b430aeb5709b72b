// The in-process COM server around the fake objects: its class factory, the two entry points
// COM looks for, and the plain C functions through which tests read the log.
#include <windows.h>

#include "tests/com/fake_log.h"
#include "tests/com/fake_object.h"
#include "tests/com/fake_server_ids.h"

namespace qx::fake {
namespace {

const CLSID kClassId = QX_FAKE_CLSID_INIT;
long serverLocks = 0;

// One factory for the life of the module; its references are not counted as the objects' are.
class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    FakeObject* application = FakeObject::make();
    const HRESULT status = application->QueryInterface(iid, object);
    application->Release();
    return status;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    serverLocks += lock ? 1 : -1;
    return S_OK;
  }
};

Factory factory;

}  // namespace
}  // namespace qx::fake

using qx::fake::state;

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    DllGetClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(classId, qx::fake::kClassId)) return CLASS_E_CLASSNOTAVAILABLE;
  return qx::fake::factory.QueryInterface(iid, object);
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return state().liveObjects == 0 && qx::fake::serverLocks == 0 ? S_OK : S_FALSE;
}

extern "C" __declspec(dllexport) int qx_fake_call_count() {
  return static_cast<int>(state().calls.size());
}

extern "C" __declspec(dllexport) const qx::fake::RecordedCall* qx_fake_call(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= state().calls.size()) return nullptr;
  return &state().calls[static_cast<std::size_t>(index)];
}

extern "C" __declspec(dllexport) long qx_fake_outstanding() {
  return state().outstanding;
}

extern "C" __declspec(dllexport) void qx_fake_reset() {
  qx::fake::ServerState& s = state();
  s.calls.clear();
  s.failures.clear();
  s.answers.clear();
  s.cells.clear();
  s.sheetCount = 2;
}

extern "C" __declspec(dllexport) void qx_fake_fail_next(std::int32_t dispid, std::int32_t hresult,
                                                        std::int32_t scode, std::uint16_t wCode,
                                                        const char16_t* source,
                                                        const char16_t* description, int deferred) {
  qx::fake::PlannedFailure failure;
  failure.hresult = hresult;
  failure.scode = scode;
  failure.wCode = wCode;
  failure.source = source != nullptr ? source : u"";
  failure.description = description != nullptr ? description : u"";
  failure.deferred = deferred != 0;
  state().failures[dispid] = failure;
}

extern "C" __declspec(dllexport) void qx_fake_answer_next(std::int32_t dispid,
                                                          qx::fake::Answer answer) {
  state().answers[dispid] = answer;
}
