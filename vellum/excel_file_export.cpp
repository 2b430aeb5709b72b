// The export the host calls. Built twice: as vellum (excel_file) and, with VELLUM_X defined,
// as vellum_x (excel_file_auto).

#include "platform/messages.h"
#include "report/export.h"
#include "vellum/build_rules.h"
#include "vellum/group_table_run.h"

#ifdef VELLUM_X
#define VELLUM_EXPORT_NAME excel_file_auto
#define VELLUM_RULES qx::vellum::kVellumXRules
#else
#define VELLUM_EXPORT_NAME excel_file
#define VELLUM_RULES qx::vellum::kVellumRules
#endif

// header: the host's GroupTableHeader; firstRow: the first GroupTableRow of its row list, or
// null. Every outcome is told to the user; nothing is returned or thrown.
extern "C" QX_EXPORT void VELLUM_EXPORT_NAME(const void* header, const void* firstRow) {
  qx::report::atExportBoundary([&] {
    qx::vellum::exportGroupTable(header, firstRow, VELLUM_RULES, qx::platform::systemMessages());
  });
}
