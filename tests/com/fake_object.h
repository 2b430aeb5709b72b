#pragma once
// The objects of the fake IDispatch server: one class plays every kind of the spreadsheet
// object model the transport tests reach, records each Invoke and counts its references.

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/com/fake_log.h"

namespace qx::testing {

struct PlannedFailure {
  HRESULT hresult = S_OK;
  SCODE scode = 0;
  WORD wCode = 0;
  std::u16string source, description;
  bool deferred = false;
};

// Everything the server keeps between calls, one per loaded module.
struct ServerState {
  std::vector<RecordedCall> calls;
  std::map<DISPID, PlannedFailure> failures;
  std::map<DISPID, Answer> answers;
  std::map<std::pair<long, long>, std::u16string> cells;
  int sheetCount = 2;
  long outstanding = 0;  // references held by clients over all live objects
  long liveObjects = 0;
  int nextSerial = 1;
  // A deferred fill-in routine means nothing outside this process, and Wine's marshalling
  // hands its address to the client as it is; a server in a process of its own fills at once.
  bool deferredFillIn = true;
  // Makes the control object (control::kControlOfThisServer); set out of process only.
  IDispatch* (*makeControl)() = nullptr;
};

ServerState& state();
// Clears the log, the planned failures and answers, and the cells; sheets back to 2.
void resetState();

class FakeObject final : public IDispatch {
 public:
  // A new object with one reference: an object of any kind, on a sheet, or one cell.
  static FakeObject* make(int sheet = 0, long row = 0, long column = 0);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override;

 private:
  FakeObject(int sheet, long row, long column);
  ~FakeObject();
  HRESULT answer(DISPID dispid, WORD flags, const DISPPARAMS& parameters, VARIANT* result);

  int sheet_;
  long row_, column_;
  int serial_;
  ULONG references_ = 1;
};

}  // namespace qx::testing
