// Arguments arrive as IDispatch::Invoke passes them (last first, a put's value named
// DISPID_PROPERTYPUT) and leave in the positional order of automation::Dispatch. The
// conversions are written here on their own, not shared with the client side, so that a fault
// of the client's encoding shows in the call log instead of cancelling out.
#include "tests/wine/dispatch_adapter.h"

#include <oleauto.h>

#include <new>
#include <vector>

namespace qx::testing {

namespace {

using automation::Variant;

class DispatchAdapter final : public IDispatch {
 public:
  explicit DispatchAdapter(automation::Dispatch* object) : object_(object) {}

  automation::Dispatch* object() const { return object_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      AddRef();
      *out = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    object_->addRef();
    return ++references_;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    object_->release();
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;  // the exporters call by DISPID only
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override;

 private:
  ~DispatchAdapter() = default;

  automation::Dispatch* object_;
  ULONG references_ = 1;  // each one holds one reference of object_
};

// One incoming argument; DISP_E_TYPEMISMATCH for a kind no exporter sends.
HRESULT fromVariant(const VARIANT& from, Variant& to) {
  switch (from.vt) {
    case VT_EMPTY:
      to = Variant();
      return S_OK;
    case VT_I2:
      to = Variant::smallInteger(from.iVal);
      return S_OK;
    case VT_I4:
      to = Variant::integer(from.lVal);
      return S_OK;
    case VT_UI4:
      to = Variant::unsignedInteger(from.ulVal);
      return S_OK;
    case VT_BOOL:
      // Only VARIANT_TRUE and VARIANT_FALSE are Booleans; a 1 would be a client's fault.
      if (from.boolVal != VARIANT_TRUE && from.boolVal != VARIANT_FALSE) {
        return DISP_E_TYPEMISMATCH;
      }
      to = Variant::boolean(from.boolVal == VARIANT_TRUE);
      return S_OK;
    case VT_R4:
      to = Variant::single(from.fltVal);
      return S_OK;
    case VT_R8:
      to = Variant::real(from.dblVal);
      return S_OK;
    case VT_ERROR:
      to = Variant::error(from.scode);
      return S_OK;
    case VT_BSTR:
      to = Variant::text(from.bstrVal == nullptr
                             ? std::u16string()
                             : std::u16string(reinterpret_cast<const char16_t*>(from.bstrVal),
                                              SysStringLen(from.bstrVal)));
      return S_OK;
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

// The result; an object leaves wrapped in a new adapter that owns the result's reference.
HRESULT toVariant(Variant& from, VARIANT& to) {
  VariantInit(&to);
  switch (from.type()) {
    case automation::VarType::Empty:
      return S_OK;
    case automation::VarType::I2:
      to.vt = VT_I2;
      to.iVal = from.smallIntegerValue();
      return S_OK;
    case automation::VarType::I4:
      to.vt = VT_I4;
      to.lVal = from.integerValue();
      return S_OK;
    case automation::VarType::UI4:
      to.vt = VT_UI4;
      to.ulVal = from.unsignedValue();
      return S_OK;
    case automation::VarType::Bool:
      to.vt = VT_BOOL;
      to.boolVal = from.booleanValue() != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case automation::VarType::R4:
      to.vt = VT_R4;
      to.fltVal = from.singleValue();
      return S_OK;
    case automation::VarType::R8:
      to.vt = VT_R8;
      to.dblVal = from.realValue();
      return S_OK;
    case automation::VarType::Error:
      to.vt = VT_ERROR;
      to.scode = from.errorValue();
      return S_OK;
    case automation::VarType::Bstr: {
      const std::u16string& text = from.textValue();
      to.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                     static_cast<UINT>(text.size()));
      if (to.bstrVal == nullptr) return E_OUTOFMEMORY;
      to.vt = VT_BSTR;
      return S_OK;
    }
    case automation::VarType::Dispatch: {
      automation::Dispatch* object = from.takeObject();
      to.vt = VT_DISPATCH;
      to.pdispVal = object == nullptr ? nullptr : adaptDispatch(object);
      return object != nullptr && to.pdispVal == nullptr ? E_OUTOFMEMORY : S_OK;
    }
  }
  return DISP_E_TYPEMISMATCH;
}

BSTR bstrOf(const std::u16string& text) {
  return text.empty() ? nullptr
                      : SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                          static_cast<UINT>(text.size()));
}

HRESULT STDMETHODCALLTYPE DispatchAdapter::Invoke(DISPID member, REFIID iid, LCID, WORD flags,
                                                  DISPPARAMS* parameters, VARIANT* result,
                                                  EXCEPINFO* exception, UINT* argumentError) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (parameters == nullptr || (parameters->cArgs > 0 && parameters->rgvarg == nullptr)) {
    return E_INVALIDARG;
  }
  // A put names its value DISPID_PROPERTYPUT; nothing else is named.
  if (flags & DISPATCH_PROPERTYPUT) {
    if (parameters->cNamedArgs != 1 || parameters->rgdispidNamedArgs == nullptr ||
        parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return DISP_E_PARAMNOTFOUND;
    }
  } else if (parameters->cNamedArgs != 0) {
    return DISP_E_NONAMEDARGS;
  }
  try {
    std::vector<Variant> arguments(parameters->cArgs);
    for (UINT i = 0; i < parameters->cArgs; ++i) {
      const UINT from = parameters->cArgs - 1 - i;
      const HRESULT status = fromVariant(parameters->rgvarg[from], arguments[i]);
      if (FAILED(status)) {
        if (argumentError != nullptr) *argumentError = from;
        return status;
      }
    }
    Variant value;
    automation::ExceptionInfo reported;
    const HRESULT status = object_->invoke(member, static_cast<automation::InvokeKind>(flags),
                                           arguments, value, reported);
    if (status == DISP_E_EXCEPTION && exception != nullptr) {
      *exception = EXCEPINFO{};
      exception->scode = reported.code;
      exception->bstrSource = bstrOf(reported.source);
      exception->bstrDescription = bstrOf(reported.description);
    }
    if (FAILED(status)) return status;
    if (result == nullptr) return S_OK;  // a put, or a caller that wants no value
    return toVariant(value, *result);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;  // nothing may unwind into the caller
  }
}

}  // namespace

IDispatch* adaptDispatch(automation::Dispatch* object) {
  if (object == nullptr) return nullptr;
  IDispatch* adapter = new (std::nothrow) DispatchAdapter(object);
  if (adapter == nullptr) object->release();
  return adapter;
}

}  // namespace qx::testing
