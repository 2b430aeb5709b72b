// Creating a server object by ProgID through COM: CLSIDFromProgID, CoCreateInstance in any
// server context (in process, local or remote; never an in-process handler), OleRun, IDispatch.
#include <windows.h>
// After windows.h, which it needs.
#include <ole2.h>

#include <string>
#include <string_view>

#include "automation/com_dispatch.h"
#include "platform/code_page.h"

namespace qx::automation {

namespace {
// Releases a COM interface pointer when the scope ends.
template <class Interface>
struct Released {
  ~Released() {
    if (pointer != nullptr) pointer->Release();
  }
  Interface* pointer = nullptr;
};
}  // namespace

// Declared beside the in-process registry, which is asked first.
Dispatch* createComServerObject(std::string_view progId);

Dispatch* createComServerObject(std::string_view progId) {
  try {
    // A NUL inside the name would make COM look up a shorter one.
    if (progId.empty() || progId.find('\0') != std::string_view::npos) return nullptr;
    const std::u16string name = platform::utf8ToUtf16(progId);
    CLSID classId;
    if (FAILED(CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(name.c_str()), &classId))) {
      return nullptr;
    }
    Released<IUnknown> unknown;
    if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&unknown.pointer)))) {
      return nullptr;
    }
    // The server may start hidden; running makes it serve calls. S_OK for objects that have
    // no running state of their own.
    if (FAILED(OleRun(unknown.pointer))) return nullptr;
    Released<IDispatch> dispatch;
    if (FAILED(unknown.pointer->QueryInterface(IID_IDispatch,
                                               reinterpret_cast<void**>(&dispatch.pointer))) ||
        dispatch.pointer == nullptr) {
      return nullptr;
    }
    Dispatch* adapter = adoptComDispatch(dispatch.pointer);
    if (adapter != nullptr) dispatch.pointer = nullptr;  // the adapter owns it now
    return adapter;
  } catch (...) {
    return nullptr;
  }
}

}  // namespace qx::automation
