// include/qx/host_records.h compiled as C++11 on its own, with every declaration used.
#include <qx/host_records.h>

static_assert(QX_GROUP_TABLE_ROW_next == 3912, "the row link of vellum");
qx_table_export_fn qxTableExports[] = {excel_file, excel_file_auto};
qx_result_export_fn qxResultExport = export_to_excel;
