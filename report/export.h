#pragma once
// The boundary of every export the host calls: an undecorated C name, and nothing thrown across.

#if defined(_WIN32)
#define QX_EXPORT __declspec(dllexport)
#else
#define QX_EXPORT __attribute__((visibility("default")))
#endif

namespace qx::report {

// Runs `run`; whatever it throws stays here. A run tells the user what went wrong before it
// unwinds this far.
template <class Run>
void atExportBoundary(Run&& run) noexcept {
  try {
    run();
  } catch (...) {
    // Nothing may unwind into the host.
  }
}

}  // namespace qx::report
