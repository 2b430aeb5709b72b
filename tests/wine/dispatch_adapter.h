#pragma once
// An object of the recording server as COM sees it: IDispatch over an automation::Dispatch.

#include <windows.h>
// After windows.h, which it needs.
#include <oaidl.h>

#include "automation/dispatch.h"

namespace qx::testing {

// Wraps `object`, taking over the one reference the caller holds. AddRef and Release go
// through to the object, so that its server's reference count stays the one that counts.
IDispatch* adaptDispatch(automation::Dispatch* object);

}  // namespace qx::testing
