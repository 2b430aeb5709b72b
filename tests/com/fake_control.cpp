#include "tests/com/fake_control.h"

#include "tests/com/fake_log.h"
#include "tests/com/fake_object.h"

namespace qx::testing {

namespace {

long controls = 0;
long made = 0;

std::u16string textOf(const VARIANT& value) {
  if (value.vt != VT_BSTR || value.bstrVal == nullptr) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(value.bstrVal),
                        SysStringLen(value.bstrVal));
}

long integerOf(const VARIANT& value) {
  VARIANT converted;
  VariantInit(&converted);
  long out = 0;
  if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_I4))) {
    out = converted.lVal;
  }
  VariantClear(&converted);
  return out;
}

class Control final : public IDispatch {
 public:
  Control() {
    ++controls;
    ++made;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO*, UINT*) override;

 private:
  ~Control() { --controls; }
  ULONG references_ = 1;
};

HRESULT Control::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO*, UINT*) {
  if (parameters == nullptr) return E_INVALIDARG;
  const UINT count = parameters->cArgs;
  const auto argument = [&](UINT i) -> const VARIANT& { return parameters->rgvarg[count - 1 - i]; };
  ServerState& s = state();
  switch (dispid) {
    case control::kCalls: {
      if (result == nullptr) return E_INVALIDARG;
      BSTR bytes = SysAllocStringByteLen(reinterpret_cast<const char*>(s.calls.data()),
                                         static_cast<UINT>(s.calls.size() * sizeof(RecordedCall)));
      if (bytes == nullptr) return E_OUTOFMEMORY;
      result->vt = VT_BSTR;
      result->bstrVal = bytes;
      return S_OK;
    }
    case control::kOutstanding:
      if (result == nullptr) return E_INVALIDARG;
      result->vt = VT_I4;
      result->lVal = s.outstanding;
      return S_OK;
    case control::kProcessId:
      if (result == nullptr) return E_INVALIDARG;
      result->vt = VT_I4;
      result->lVal = static_cast<LONG>(GetCurrentProcessId());
      return S_OK;
    case control::kReset:
      resetState();
      return S_OK;
    case control::kFailNext: {
      if (count != 7) return DISP_E_BADPARAMCOUNT;
      PlannedFailure failure;
      failure.hresult = integerOf(argument(1));
      failure.scode = integerOf(argument(2));
      failure.wCode = static_cast<WORD>(integerOf(argument(3)));
      failure.source = textOf(argument(4));
      failure.description = textOf(argument(5));
      failure.deferred = integerOf(argument(6)) != 0;
      s.failures[integerOf(argument(0))] = failure;
      return S_OK;
    }
    case control::kAnswerNext:
      if (count != 2) return DISP_E_BADPARAMCOUNT;
      s.answers[integerOf(argument(0))] = static_cast<Answer>(integerOf(argument(1)));
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace

IDispatch* makeControl() {
  return new Control;
}

long liveControls() {
  return controls;
}

long controlsMade() {
  return made;
}

}  // namespace qx::testing
