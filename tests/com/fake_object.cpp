#include "tests/com/fake_object.h"

#include <oleauto.h>

#include <algorithm>

#include "automation/operations.h"

namespace qx::testing {

namespace op = automation::op;

ServerState& state() {
  static ServerState instance;
  return instance;
}

void resetState() {
  ServerState& s = state();
  s.calls.clear();
  s.failures.clear();
  s.answers.clear();
  s.cells.clear();
  s.sheetCount = 2;
}

namespace {

RecordedArgument record(const VARIANT& value) {
  RecordedArgument out;
  out.vt = value.vt;
  switch (value.vt) {
    case VT_I2:
      out.integer = value.iVal;
      break;
    case VT_I4:
      out.integer = value.lVal;
      break;
    case VT_UI4:
      out.integer = value.ulVal;
      break;
    case VT_BOOL:
      out.integer = value.boolVal;
      break;
    case VT_ERROR:
      out.integer = value.scode;
      break;
    case VT_R4:
      out.real = value.fltVal;
      break;
    case VT_R8:
      out.real = value.dblVal;
      break;
    case VT_BSTR:
      if (value.bstrVal != nullptr) {
        out.textLength = static_cast<std::int32_t>(SysStringLen(value.bstrVal));
        const int kept = std::min(out.textLength, kMaxText - 1);
        std::copy_n(reinterpret_cast<const char16_t*>(value.bstrVal), kept, out.text);
      }
      break;
    case VT_DISPATCH:
      out.isNullObject = value.pdispVal == nullptr ? 1 : 0;
      break;
    default:
      break;
  }
  return out;
}

// An integer index argument as a server would coerce it.
long indexOf(const VARIANT& value) {
  VARIANT converted;
  VariantInit(&converted);
  long index = 0;
  if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_I4)))
    index = converted.lVal;
  VariantClear(&converted);
  return index;
}

BSTR allocate(const std::u16string& text) {
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                           static_cast<UINT>(text.size()));
}

void fillException(const PlannedFailure& failure, EXCEPINFO& info) {
  info.scode = failure.scode;
  info.wCode = failure.wCode;
  info.bstrSource = allocate(failure.source);
  info.bstrDescription = allocate(failure.description);
}

// Deferred fill-in: the strings are produced only when the client asks.
PlannedFailure deferredFailure;
HRESULT STDAPICALLTYPE fillDeferred(EXCEPINFO* info) {
  fillException(deferredFailure, *info);
  return S_OK;
}

void setAnswer(Answer answer, VARIANT& result) {
  switch (answer) {
    case Answer::Null:
      result.vt = VT_NULL;
      break;
    case Answer::UnsignedByte:
      result.vt = VT_UI1;
      result.bVal = 200;
      break;
    case Answer::Date:
      result.vt = VT_DATE;
      result.date = 2.5;
      break;
    case Answer::Array:
      result.vt = VT_ARRAY | VT_VARIANT;
      result.parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
      break;
  }
}

void returnObject(VARIANT* result, FakeObject* object) {
  if (result == nullptr) {
    object->Release();
    return;
  }
  result->vt = VT_DISPATCH;
  result->pdispVal = object;
}

}  // namespace

FakeObject* FakeObject::make(int sheet, long row, long column) {
  return new FakeObject(sheet, row, column);
}

FakeObject::FakeObject(int sheet, long row, long column)
    : sheet_(sheet), row_(row), column_(column), serial_(state().nextSerial++) {
  ++state().outstanding;
  ++state().liveObjects;
}

FakeObject::~FakeObject() {
  --state().liveObjects;
}

HRESULT FakeObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG FakeObject::AddRef() {
  ++state().outstanding;
  return ++references_;
}

ULONG FakeObject::Release() {
  --state().outstanding;
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT FakeObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT FakeObject::GetTypeInfo(UINT, LCID, ITypeInfo**) {
  return E_NOTIMPL;
}

HRESULT FakeObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return DISP_E_UNKNOWNNAME;  // members are reached by DISPID only
}

HRESULT FakeObject::Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                           VARIANT* result, EXCEPINFO* exception, UINT*) {
  if (parameters == nullptr) return E_INVALIDARG;
  if (dispid == control::kControlOfThisServer && state().makeControl != nullptr) {
    if (result == nullptr) return E_INVALIDARG;
    result->vt = VT_DISPATCH;
    result->pdispVal = state().makeControl();
    return S_OK;
  }
  RecordedCall call;
  call.object = serial_;
  call.dispid = dispid;
  call.flags = flags;
  call.argumentCount = parameters->cArgs;
  call.namedCount = parameters->cNamedArgs;
  if (parameters->cNamedArgs > 0 && parameters->rgdispidNamedArgs != nullptr) {
    call.firstNamed = parameters->rgdispidNamedArgs[0];
  }
  call.hasResult = result != nullptr;
  // rgvarg holds the last argument first.
  for (UINT i = 0; i < parameters->cArgs && i < static_cast<UINT>(kMaxArguments); ++i) {
    call.arguments[i] = record(parameters->rgvarg[parameters->cArgs - 1 - i]);
  }
  ServerState& s = state();
  s.calls.push_back(call);

  if (auto it = s.failures.find(dispid); it != s.failures.end()) {
    const PlannedFailure failure = it->second;
    s.failures.erase(it);
    if (failure.hresult == DISP_E_EXCEPTION && exception != nullptr) {
      if (failure.deferred && s.deferredFillIn) {
        deferredFailure = failure;
        exception->pfnDeferredFillIn = fillDeferred;
      } else {
        fillException(failure, *exception);
      }
    }
    return failure.hresult;
  }
  if (auto it = s.answers.find(dispid); it != s.answers.end()) {
    const Answer planned = it->second;
    s.answers.erase(it);
    if (result != nullptr) setAnswer(planned, *result);
    return S_OK;
  }
  return answer(dispid, flags, *parameters, result);
}

HRESULT FakeObject::answer(DISPID dispid, WORD flags, const DISPPARAMS& parameters,
                           VARIANT* result) {
  const auto argument = [&](UINT i) -> const VARIANT& {
    return parameters.rgvarg[parameters.cArgs - 1 - i];
  };
  switch (dispid) {
    case op::kApplicationWorkbooks.dispid:
      returnObject(result, make());
      return S_OK;
    case op::kWorkbooksOpen.dispid:
      returnObject(result, make());
      return S_OK;
    case op::kWorkbookActiveSheet.dispid:
      returnObject(result, make(1));
      return S_OK;
    case op::kWorksheetUsedRange.dispid:
    case op::kWorksheetRange.dispid:
      returnObject(result, make(sheet_));
      return S_OK;
    case op::kWorksheetShapes.dispid:
      returnObject(result, make(sheet_));
      return S_OK;
    case op::kShapesAddPicture.dispid:
      returnObject(result, make(sheet_));
      return S_OK;
    case op::kWorksheetNext.dispid:  // null after the last sheet
      if (result == nullptr) return S_OK;
      result->vt = VT_DISPATCH;
      result->pdispVal = sheet_ < state().sheetCount ? make(sheet_ + 1) : nullptr;
      return S_OK;
    case op::kRangeItemGet.dispid: {  // get hands out the cell, put stores its text
      if (parameters.cArgs < 2) return DISP_E_BADPARAMCOUNT;
      const long row = indexOf(argument(0));
      const long column = indexOf(argument(1));
      if ((flags & DISPATCH_PROPERTYPUT) != 0) {
        if (parameters.cArgs < 3) return DISP_E_BADPARAMCOUNT;
        const VARIANT& value = argument(2);
        std::u16string text;
        if (value.vt == VT_BSTR && value.bstrVal != nullptr) {
          text.assign(reinterpret_cast<const char16_t*>(value.bstrVal),
                      SysStringLen(value.bstrVal));
        }
        state().cells[{row, column}] = text;
        return S_OK;
      }
      returnObject(result, make(sheet_, row, column));
      return S_OK;
    }
    case op::kRangeText.dispid: {  // a null BSTR for a cell never written
      if (result == nullptr) return S_OK;
      result->vt = VT_BSTR;
      auto it = state().cells.find({row_, column_});
      result->bstrVal = it == state().cells.end() ? nullptr : allocate(it->second);
      return S_OK;
    }
    case op::kRangeLeft.dispid:
    case op::kRangeTop.dispid:
    case op::kRangeWidth.dispid:
    case op::kRangeHeight.dispid:
      if (result != nullptr) {
        result->vt = VT_R8;
        result->dblVal = dispid == op::kRangeLeft.dispid    ? 10.5
                         : dispid == op::kRangeTop.dispid   ? 20.25
                         : dispid == op::kRangeWidth.dispid ? 48
                                                            : 15;
      }
      return S_OK;
    case op::kRangeBorderAround.dispid:  // answers True
      if (result != nullptr) {
        result->vt = VT_BOOL;
        result->boolVal = VARIANT_TRUE;
      }
      return S_OK;
    case op::kApplicationVisible.dispid:
    case op::kApplicationQuit.dispid:
    case op::kWorkbookClose.dispid:
    case op::kWorkbookSave.dispid:
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace qx::testing
