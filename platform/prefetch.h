#pragma once
// The host's record lists are large and walked once, each record read field by field: without
// a hint every field waits for memory. Asking for the next record while the calls for the
// current one are made lets its bytes arrive in the meantime.

#include <cstddef>

namespace qx::platform {

// Asks the processor to start loading the `size` bytes at `record` (null asks nothing). A hint
// only: it reads nothing and cannot fault.
inline void prefetchRecord(const void* record, std::size_t size) {
  if (record == nullptr) return;
  const char* bytes = static_cast<const char*>(record);
  for (std::size_t at = 0; at < size; at += 64) __builtin_prefetch(bytes + at);
}

}  // namespace qx::platform
