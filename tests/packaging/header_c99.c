/* include/qx/host_records.h compiled as C99 on its own, with every declaration used. */
#include <qx/host_records.h>

typedef char qx_check_sizes[QX_DUAL_SPEC_ROW_SIZE == 5464 && QX_RESULT_HEADER_SIZE == 952 ? 1 : -1];

qx_table_export_fn qx_table_exports[] = {excel_file, excel_file_auto};
qx_result_export_fn qx_result_export = export_to_excel;
