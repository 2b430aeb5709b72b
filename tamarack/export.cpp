// The library's one export. The host may pass anything: the arguments are never read, and the
// default C calling convention lets the caller remove whatever it pushed.

#include "platform/messages.h"
#include "tamarack/export_run.h"

#ifdef _WIN32
#define QX_EXPORT __declspec(dllexport)
#else
#define QX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" QX_EXPORT void export_to_excel(void* /*unused*/, void* /*unused*/) {
  try {
    qx::tamarack::runExport(qx::tamarack::installedFiles(), qx::platform::systemMessages());
  } catch (...) {
    // Nothing may cross into the host; the run has released what it held while unwinding.
  }
}
