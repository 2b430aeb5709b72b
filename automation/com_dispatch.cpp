// The COM transport under invoke(): Variant <-> VARIANT, IDispatch::Invoke, EXCEPINFO.
#include "automation/com_dispatch.h"

#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include <new>
#include <vector>

namespace qx::automation {

namespace {

// A VARIANT that is cleared when the scope ends, whatever it holds by then.
struct ScopedVariant {
  ScopedVariant() { VariantInit(&value); }
  ~ScopedVariant() { VariantClear(&value); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  VARIANT value;
};

// The arguments of one call, in the reverse order IDispatch::Invoke expects.
class ComArguments {
 public:
  ~ComArguments() {
    for (VARIANT& value : values_) VariantClear(&value);
  }
  HRESULT fill(std::span<const Variant> arguments);
  VARIANT* data() { return values_.empty() ? nullptr : values_.data(); }
  UINT size() const { return static_cast<UINT>(values_.size()); }

 private:
  std::vector<VARIANT> values_;
};

class ComDispatch final : public Dispatch {
 public:
  explicit ComDispatch(IDispatch* object) : object_(object) {}

  std::uint32_t addRef() override {
    object_->AddRef();
    return ++references_;
  }

  std::uint32_t release() override {
    object_->Release();
    const std::uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

  std::int32_t invoke(std::int32_t dispid, InvokeKind kind, std::span<const Variant> arguments,
                      Variant& result, ExceptionInfo& exception) override;

  IDispatch* object() const { return object_; }

 private:
  ~ComDispatch() override = default;

  IDispatch* object_;
  std::uint32_t references_ = 1;  // each one holds one reference of object_
};

HRESULT toComVariant(const Variant& from, VARIANT& to) {
  VariantInit(&to);
  switch (from.type()) {
    case VarType::Empty:
      return S_OK;
    case VarType::I2:
      to.vt = VT_I2;
      to.iVal = from.smallIntegerValue();
      return S_OK;
    case VarType::I4:
      to.vt = VT_I4;
      to.lVal = from.integerValue();
      return S_OK;
    case VarType::UI4:
      to.vt = VT_UI4;
      to.ulVal = from.unsignedValue();
      return S_OK;
    case VarType::Bool:
      to.vt = VT_BOOL;
      to.boolVal = from.booleanValue() != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case VarType::R4:
      to.vt = VT_R4;
      to.fltVal = from.singleValue();
      return S_OK;
    case VarType::R8:
      to.vt = VT_R8;
      to.dblVal = from.realValue();
      return S_OK;
    case VarType::Error:
      to.vt = VT_ERROR;
      to.scode = from.errorValue();
      return S_OK;
    case VarType::Bstr: {
      const std::u16string& text = from.textValue();
      if (text.size() > 0x3FFFFFFF) return E_OUTOFMEMORY;
      BSTR copy = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                    static_cast<UINT>(text.size()));
      if (copy == nullptr) return E_OUTOFMEMORY;
      to.vt = VT_BSTR;
      to.bstrVal = copy;
      return S_OK;
    }
    case VarType::Dispatch: {
      Dispatch* object = from.objectValue();
      IDispatch* com = object == nullptr ? nullptr : comDispatchOf(object);
      // An in-process object has no COM interface to hand over.
      if (object != nullptr && com == nullptr) return DISP_E_TYPEMISMATCH;
      if (com != nullptr) com->AddRef();
      to.vt = VT_DISPATCH;
      to.pdispVal = com;
      return S_OK;
    }
  }
  return DISP_E_TYPEMISMATCH;
}

// The kind a result of another numeric type is coerced to, or VT_EMPTY when none fits.
VARTYPE coercedType(VARTYPE type) {
  switch (type) {
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_INT:
      return VT_I4;
    case VT_UINT:
      return VT_UI4;
    case VT_I8:
    case VT_UI8:
    case VT_CY:
    case VT_DATE:
    case VT_DECIMAL:
      return VT_R8;
    default:
      return VT_EMPTY;
  }
}

// Moves a result into a Variant; `from` is left for the caller to clear.
HRESULT fromComVariant(VARIANT& from, Variant& to) {
  switch (from.vt) {
    case VT_EMPTY:
    case VT_NULL:
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
      to = Variant::boolean(from.boolVal != VARIANT_FALSE);
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
    case VT_DISPATCH: {
      if (from.pdispVal == nullptr) {
        to = Variant::adopt(nullptr);
        return S_OK;
      }
      Dispatch* adapter = adoptComDispatch(from.pdispVal);
      if (adapter == nullptr) return E_OUTOFMEMORY;
      from.pdispVal = nullptr;  // the adapter owns that reference now
      to = Variant::adopt(adapter);
      return S_OK;
    }
    case VT_UNKNOWN: {
      IDispatch* object = nullptr;
      if (from.punkVal == nullptr ||
          FAILED(from.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&object)))) {
        return DISP_E_TYPEMISMATCH;
      }
      Dispatch* adapter = adoptComDispatch(object);
      if (adapter == nullptr) {
        object->Release();
        return E_OUTOFMEMORY;
      }
      to = Variant::adopt(adapter);
      return S_OK;
    }
    default: {
      const VARTYPE wanted = coercedType(from.vt);
      if (wanted == VT_EMPTY) return DISP_E_TYPEMISMATCH;
      ScopedVariant coerced;
      const HRESULT status = VariantChangeType(&coerced.value, &from, 0, wanted);
      if (FAILED(status)) return status;
      return fromComVariant(coerced.value, to);
    }
  }
}

std::u16string takeBstr(BSTR& text) {
  std::u16string out;
  if (text != nullptr) {
    out.assign(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
    SysFreeString(text);
    text = nullptr;
  }
  return out;
}

// Empties an EXCEPINFO into an ExceptionInfo, freeing its strings.
ExceptionInfo takeException(EXCEPINFO& info) {
  if (info.pfnDeferredFillIn != nullptr) {
    info.pfnDeferredFillIn(&info);
    info.pfnDeferredFillIn = nullptr;
  }
  ExceptionInfo out;
  out.code = info.scode != 0 ? static_cast<std::int32_t>(info.scode) : info.wCode;
  out.source = takeBstr(info.bstrSource);
  out.description = takeBstr(info.bstrDescription);
  takeBstr(info.bstrHelpFile);
  return out;
}

HRESULT ComArguments::fill(std::span<const Variant> arguments) {
  values_.reserve(arguments.size());
  for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) {
    VARIANT value;
    const HRESULT status = toComVariant(*it, value);
    if (FAILED(status)) return status;
    values_.push_back(value);
  }
  return S_OK;
}

std::int32_t ComDispatch::invoke(std::int32_t dispid, InvokeKind kind,
                                 std::span<const Variant> arguments, Variant& result,
                                 ExceptionInfo& exception) {
  try {
    const bool put = kind == InvokeKind::PropertyPut;
    if (put && arguments.empty()) return DISP_E_BADPARAMCOUNT;  // a put needs its value
    ComArguments converted;
    HRESULT status = converted.fill(arguments);
    if (FAILED(status)) return status;

    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{};
    parameters.rgvarg = converted.data();
    parameters.cArgs = converted.size();
    if (put) {
      parameters.rgdispidNamedArgs = &namedPut;
      parameters.cNamedArgs = 1;
    }
    ScopedVariant value;
    EXCEPINFO info{};
    UINT argumentError = 0;
    status = object_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, static_cast<WORD>(kind),
                             &parameters, put ? nullptr : &value.value, &info, &argumentError);
    ExceptionInfo reported = takeException(info);
    if (status == DISP_E_EXCEPTION) exception = std::move(reported);
    if (FAILED(status)) return status;
    return fromComVariant(value.value, result);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace

Dispatch* adoptComDispatch(IDispatch* object) {
  if (object == nullptr) return nullptr;
  return new (std::nothrow) ComDispatch(object);
}

IDispatch* comDispatchOf(Dispatch* object) {
  auto* adapter = dynamic_cast<ComDispatch*>(object);
  return adapter == nullptr ? nullptr : adapter->object();
}

}  // namespace qx::automation
