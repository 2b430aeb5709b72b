#pragma once
// The COM transport: a Dispatch that forwards every call to an IDispatch of a COM server.
// Built on Windows only.

#include "automation/dispatch.h"

struct IDispatch;

namespace qx::automation {

// Wraps `object`, taking over the one reference the caller holds (null gives null). The adapter
// forwards addRef and release to the object and frees itself with its last reference.
Dispatch* adoptComDispatch(IDispatch* object);

// The IDispatch behind an adapter made by adoptComDispatch, borrowed; null for any other
// Dispatch (an in-process server has no COM identity).
IDispatch* comDispatchOf(Dispatch* object);

}  // namespace qx::automation
