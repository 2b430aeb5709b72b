#pragma once
// The holder of at most one reference to a server object.

#include <string_view>

#include "automation/dispatch.h"
#include "automation/server_registry.h"

namespace qx::automation {

// Holds at most one reference to a server object. Attach takes ownership of a reference, copy
// adds one, release drops one; destroying the holder releases what it owns. An empty holder is
// a legal value. Not thread-safe: a holder stays on the thread that made it.
class AutomationObject {
 public:
  AutomationObject() = default;
  ~AutomationObject() { release(); }
  AutomationObject(AutomationObject&& other) noexcept;
  AutomationObject& operator=(AutomationObject&& other) noexcept;
  AutomationObject(const AutomationObject&) = delete;  // copies are explicit: copy()
  AutomationObject& operator=(const AutomationObject&) = delete;

  // Creates the server registered under progId (else the one `route` leads to) and keeps its
  // dispatch reference. Returns false on any failure (unknown ProgID, server that cannot start,
  // no dispatch interface); raises nothing.
  bool createByProgId(std::string_view progId, ServerRoute route = ServerRoute::Default);

  // Releases the reference held before (when owned), then keeps `object`.
  void attach(Dispatch* object, bool owns = true);

  // A second holder of the same object with a reference of its own.
  AutomationObject copy() const;

  // Releases the reference (when owned) and leaves the holder empty.
  void release();

  // Hands the reference to the caller, leaving the holder empty (ownership moves out).
  Dispatch* detach();

  Dispatch* get() const { return object_; }
  bool empty() const { return object_ == nullptr; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  Dispatch* object_ = nullptr;
  bool owns_ = false;
};

}  // namespace qx::automation
