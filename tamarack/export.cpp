// The library's one export. The host may pass anything: the arguments are never read, and the
// default C calling convention lets the caller remove whatever it pushed.

#include "report/export.h"
#include "platform/messages.h"
#include "tamarack/export_run.h"

extern "C" QX_EXPORT void export_to_excel(void* /*unused*/, void* /*unused*/) {
  // The run has released what it held while unwinding.
  qx::report::atExportBoundary([] {
    qx::tamarack::runExport(qx::tamarack::installedFiles(), qx::platform::systemMessages());
  });
}
