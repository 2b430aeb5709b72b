#pragma once
// The control object of the out-of-process fake server: a test reads the log and plans
// failures through it, the way it calls the in-process server's exported functions.

#include <windows.h>

namespace qx::testing {

// A new control object with one reference.
IDispatch* makeControl();
// Control objects alive in this process, and made since it started.
long liveControls();
long controlsMade();

}  // namespace qx::testing
