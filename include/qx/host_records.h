/* Record layouts shared between the host calculation program and the report exporters.
 *
 * Every record is a plain byte layout: little-endian 32-bit integers, IEEE doubles, text fields
 * of code page 936 (GBK) bytes ended by a NUL inside their slot, and addresses of the platform's
 * width. Offsets are fixed; never rely on a compiler's structure layout to produce them.
 *
 * Each record is described once by an X-macro list: X(name, offset, width, kind), with kind one
 * of INT32, DOUBLE, TEXT, ADDRESS. The enums below turn every entry into a constant
 * QX_<RECORD>_<NAME> holding its offset; QX_<RECORD>_SIZE is the record's size.
 */
#ifndef QX_HOST_RECORDS_H
#define QX_HOST_RECORDS_H

/* The tables below are laid out by hand, one field or slot a line. */
/* clang-format off */

/* ---- heron: the check-point data file, <conf>/temp/check_point_temp.dat ------------------ */
#define QX_CHECK_POINT_HEADER_SIZE 1044
#define QX_CHECK_POINT_HEADER_FIELDS(X)   \
  X(text1_flag, 0, 4, INT32)              \
  X(text1_row, 4, 4, INT32)               \
  X(text1_col, 8, 4, INT32)               \
  X(text2_flag, 12, 4, INT32)             \
  X(text2_row, 16, 4, INT32)              \
  X(text2_col, 20, 4, INT32)              \
  X(text3_flag, 24, 4, INT32)             \
  X(text3_row, 28, 4, INT32)              \
  X(text3_col, 32, 4, INT32)              \
  X(reserved_36, 36, 4, INT32)            \
  X(first_row, 40, 4, INT32)              \
  X(reserved_44, 44, 4, INT32)            \
  X(border_weight, 48, 4, INT32)          \
  X(row_count, 52, 4, INT32)              \
  X(text1, 56, 256, TEXT)                 \
  X(text3, 312, 80, TEXT)                 \
  X(text2, 392, 80, TEXT)                 \
  X(column_spec, 472, 256, TEXT)          \
  X(template_path, 728, 256, TEXT)        \
  X(picture_cell1, 984, 30, TEXT)         \
  X(picture_cell2, 1014, 30, TEXT)

#define QX_CHECK_POINT_ROW_SIZE 328
#define QX_CHECK_POINT_ROW_FIELDS(X) \
  X(field_a, 0, 80, TEXT)            \
  X(field_b, 80, 80, TEXT)           \
  X(field_c, 160, 80, TEXT)          \
  X(field_d, 240, 80, TEXT)

/* ---- vellum (excel_file) and vellum_x (excel_file_auto) ----------------------------------- */
#define QX_GROUP_TABLE_HEADER_SIZE 3880
#define QX_GROUP_TABLE_HEADER_FIELDS(X)                                                       \
  X(picture_flag, 0, 4, INT32)                                                                \
  X(slot1_show, 4, 4, INT32) X(slot1_row, 8, 4, INT32) X(slot1_column, 12, 4, INT32)          \
  X(slot2_show, 16, 4, INT32) X(slot2_row, 20, 4, INT32) X(slot2_column, 24, 4, INT32)        \
  X(slot5_show, 28, 4, INT32) X(slot5_row, 32, 4, INT32) X(slot5_column, 36, 4, INT32)        \
  X(slot6_show, 40, 4, INT32) X(slot6_row, 44, 4, INT32) X(slot6_column, 48, 4, INT32)        \
  X(slot7_show, 52, 4, INT32) X(slot7_row, 56, 4, INT32) X(slot7_column, 60, 4, INT32)        \
  X(slot8_show, 64, 4, INT32) X(slot8_row, 68, 4, INT32) X(slot8_column, 72, 4, INT32)        \
  X(slot9_show, 76, 4, INT32) X(slot9_row, 80, 4, INT32) X(slot9_column, 84, 4, INT32)        \
  X(slot10_show, 88, 4, INT32) X(slot10_row, 92, 4, INT32) X(slot10_column, 96, 4, INT32)     \
  X(slot11_show, 100, 4, INT32) X(slot11_row, 104, 4, INT32) X(slot11_column, 108, 4, INT32)  \
  X(slot12_show, 112, 4, INT32) X(slot12_row, 116, 4, INT32) X(slot12_column, 120, 4, INT32)  \
  X(slot13_show, 124, 4, INT32) X(slot13_row, 128, 4, INT32) X(slot13_column, 132, 4, INT32)  \
  X(slot14_show, 136, 4, INT32) X(slot14_row, 140, 4, INT32) X(slot14_column, 144, 4, INT32)  \
  X(slot15_show, 148, 4, INT32) X(slot15_row, 152, 4, INT32) X(slot15_column, 156, 4, INT32)  \
  X(slot22_show, 160, 4, INT32) X(slot22_row, 164, 4, INT32) X(slot22_column, 168, 4, INT32)  \
  X(slot3_show, 172, 4, INT32) X(slot3_row, 176, 4, INT32) X(slot3_column, 180, 4, INT32)     \
  X(slot4_show, 184, 4, INT32) X(slot4_row, 188, 4, INT32) X(slot4_column, 192, 4, INT32)     \
  X(slot16_show, 196, 4, INT32) X(slot16_row, 200, 4, INT32) X(slot16_column, 204, 4, INT32)  \
  X(slot17_show, 208, 4, INT32) X(slot17_row, 212, 4, INT32) X(slot17_column, 216, 4, INT32)  \
  X(slot18_show, 220, 4, INT32) X(slot18_row, 224, 4, INT32) X(slot18_column, 228, 4, INT32)  \
  X(slot19_show, 232, 4, INT32) X(slot19_row, 236, 4, INT32) X(slot19_column, 240, 4, INT32)  \
  X(slot20_show, 244, 4, INT32) X(slot20_row, 248, 4, INT32) X(slot20_column, 252, 4, INT32)  \
  X(slot21_show, 256, 4, INT32) X(slot21_row, 260, 4, INT32) X(slot21_column, 264, 4, INT32)  \
  X(slot23_show, 268, 4, INT32) X(slot23_row, 272, 4, INT32) X(slot23_column, 276, 4, INT32)  \
  X(slot24_show, 280, 4, INT32) X(slot24_row, 284, 4, INT32) X(slot24_column, 288, 4, INT32)  \
  X(border_weight, 292, 4, INT32)                                                             \
  X(start_row, 296, 4, INT32)                                                                 \
  X(group_column, 304, 4, INT32)                                                              \
  X(time_format, 308, 4, INT32)                                                               \
  X(slot1_text, 312, 256, TEXT) X(slot2_text, 568, 80, TEXT) X(slot3_text, 648, 256, TEXT)    \
  X(slot4_text, 904, 80, TEXT) X(slot5_text, 984, 133, TEXT) X(slot6_text, 1117, 256, TEXT)   \
  X(slot7_text, 1373, 256, TEXT) X(slot8_text, 1629, 133, TEXT)                               \
  X(slot9_text, 1762, 133, TEXT) X(slot10_text, 1895, 80, TEXT)                               \
  X(slot11_text, 1975, 256, TEXT) X(slot12_text, 2231, 256, TEXT)                             \
  X(slot13_text, 2487, 133, TEXT) X(slot14_text, 2620, 80, TEXT)                              \
  X(slot15_text, 2700, 80, TEXT) X(slot16_text, 2780, 80, TEXT)                               \
  X(slot17_text, 2860, 80, TEXT) X(slot18_text, 2940, 80, TEXT)                               \
  X(slot19_text, 3020, 30, TEXT) X(slot20_text, 3050, 30, TEXT)                               \
  X(slot21_text, 3080, 30, TEXT) X(slot22_text, 3110, 80, TEXT)                               \
  X(slot23_text, 3190, 80, TEXT) X(slot24_text, 3270, 80, TEXT)                               \
  X(template_path, 3350, 256, TEXT)                                                           \
  X(column_spec, 3606, 80, TEXT)                                                              \
  X(picture_first_cell, 3686, 80, TEXT)                                                       \
  X(picture_last_cell, 3766, 80, TEXT)                                                        \
  X(reference_value, 3848, 8, DOUBLE)                                                         \
  X(e_correction, 3856, 8, DOUBLE)                                                            \
  X(x_correction, 3864, 8, DOUBLE)                                                            \
  X(y_correction, 3872, 8, DOUBLE)

#define QX_GROUP_TABLE_ROW_SIZE 3920
#define QX_GROUP_TABLE_ROW_FIELDS(X)                                                     \
  X(group_key, 4, 80, TEXT) X(b_text, 84, 266, TEXT) X(text_5, 350, 500, TEXT)           \
  X(text_c, 850, 31, TEXT) X(text_g, 881, 259, TEXT) X(number_d, 1140, 4, INT32)         \
  X(value_s1, 1144, 8, DOUBLE) X(value_s2, 1152, 8, DOUBLE) X(value_f, 1160, 8, DOUBLE)  \
  X(value_t, 1168, 8, DOUBLE) X(value_n, 1176, 8, DOUBLE) X(value_m, 1184, 8, DOUBLE)    \
  X(value_p, 1192, 8, DOUBLE) X(value_o, 1200, 8, DOUBLE) X(value_h, 1208, 8, DOUBLE)    \
  X(value_i, 1216, 8, DOUBLE) X(level_value, 1224, 8, DOUBLE)                            \
  X(time_value, 1232, 8, DOUBLE) X(number_z, 1240, 4, INT32) X(yes_flag, 1244, 4, INT32) \
  X(value_u, 1248, 8, DOUBLE) X(value_v, 1256, 8, DOUBLE) X(value_y, 1264, 8, DOUBLE)    \
  X(value_x2, 1272, 8, DOUBLE) X(text_w, 1280, 256, TEXT) X(text_6, 1536, 256, TEXT)     \
  X(text_7, 1792, 512, TEXT) X(text_q, 2304, 260, TEXT) X(text_2, 2564, 81, TEXT)        \
  X(text_3, 2645, 1000, TEXT) X(text_4, 3645, 267, TEXT) X(next, 3912, 8, ADDRESS)

/* ---- kestrel (excel_file) ------------------------------------------------------------------ */
#define QX_DUAL_SPEC_HEADER_SIZE 1036
#define QX_DUAL_SPEC_HEADER_FIELDS(X)                                                         \
  X(header_text1, 0, 50, TEXT) X(header_text2, 50, 50, TEXT) X(header_text3, 100, 50, TEXT)   \
  X(header_text4, 150, 50, TEXT)                                                              \
  X(show_flag1, 200, 4, INT32) X(header_row1, 204, 4, INT32) X(header_column1, 208, 4, INT32) \
  X(show_flag2, 212, 4, INT32) X(header_row2, 216, 4, INT32) X(header_column2, 220, 4, INT32) \
  X(show_flag3, 224, 4, INT32) X(header_row3, 228, 4, INT32) X(header_column3, 232, 4, INT32) \
  X(show_flag4, 248, 4, INT32) X(header_row4, 252, 4, INT32) X(header_column4, 256, 4, INT32) \
  X(template_path, 260, 256, TEXT) X(primary_spec, 516, 256, TEXT)                            \
  X(secondary_spec, 772, 256, TEXT) X(start_row, 1028, 4, INT32)                              \
  X(border_weight, 1032, 4, INT32)

#define QX_DUAL_SPEC_ROW_SIZE 5464
#define QX_DUAL_SPEC_ROW_FIELDS(X)                                                            \
  X(primary_1, 4, 4, INT32) X(primary_c, 8, 4, INT32) X(primary_p, 12, 4, INT32)              \
  X(primary_9, 16, 4, INT32) X(primary_q, 20, 4, INT32) X(primary_t, 24, 4, INT32)            \
  X(primary_u, 28, 4, INT32) X(primary_m, 32, 4, INT32) X(primary_n, 36, 30, TEXT)            \
  X(primary_8, 66, 30, TEXT) X(primary_o, 96, 30, TEXT) X(primary_r, 126, 30, TEXT)           \
  X(primary_s, 156, 30, TEXT) X(primary_b, 186, 31, TEXT) X(primary_d, 217, 80, TEXT)         \
  X(primary_e, 297, 80, TEXT) X(primary_f, 377, 80, TEXT) X(primary_j, 457, 80, TEXT)         \
  X(primary_h, 537, 30, TEXT) X(primary_g, 567, 30, TEXT) X(primary_i, 597, 30, TEXT)         \
  X(primary_k, 627, 30, TEXT) X(primary_2, 657, 80, TEXT) X(primary_3, 737, 80, TEXT)         \
  X(primary_4, 817, 80, TEXT) X(primary_5, 897, 80, TEXT) X(primary_6, 977, 80, TEXT)         \
  X(primary_7, 1057, 80, TEXT) X(primary_l, 1137, 80, TEXT) X(primary_v, 1217, 30, TEXT)      \
  X(primary_w, 1247, 30, TEXT) X(primary_x, 1277, 256, TEXT) X(primary_y, 1533, 80, TEXT)     \
  X(primary_hash, 1613, 256, TEXT) X(primary_dollar, 1869, 256, TEXT)                         \
  X(primary_bang, 2125, 80, TEXT) X(primary_0, 2205, 80, TEXT)                                \
  X(primary_lbracket, 2285, 30, TEXT) X(primary_gt, 2315, 30, TEXT)                           \
  X(primary_lparen, 2345, 256, TEXT) X(primary_rparen, 2601, 256, TEXT)                       \
  X(primary_amp, 2857, 257, TEXT) X(primary_lt, 3114, 80, TEXT) X(primary_star, 3194, 80, TEXT) \
  X(secondary_a, 3274, 80, TEXT) X(secondary_b, 3354, 80, TEXT)                               \
  X(secondary_c, 3434, 80, TEXT) X(secondary_d, 3514, 80, TEXT)                               \
  X(secondary_h, 3594, 80, TEXT) X(secondary_g, 3674, 80, TEXT)                               \
  X(secondary_f, 3754, 80, TEXT) X(primary_rbracket, 3834, 80, TEXT)                          \
  X(secondary_e, 3914, 80, TEXT) X(secondary_i, 3994, 80, TEXT)                               \
  X(secondary_j, 4074, 80, TEXT) X(secondary_k, 4154, 80, TEXT)                               \
  X(secondary_l, 4234, 80, TEXT) X(secondary_m, 4314, 80, TEXT)                               \
  X(secondary_n, 4394, 80, TEXT) X(secondary_o, 4474, 80, TEXT)                               \
  X(secondary_p, 4554, 80, TEXT) X(option_1, 4634, 80, TEXT) X(option_2, 4714, 80, TEXT)      \
  X(option_3, 4794, 80, TEXT) X(option_4, 4874, 80, TEXT) X(option_5, 4954, 80, TEXT)         \
  X(option_6, 5034, 80, TEXT) X(option_7, 5114, 80, TEXT) X(secondary_q, 5194, 256, TEXT)     \
  X(next, 5456, 8, ADDRESS)

/* ---- tamarack (export_to_excel): <conf>/temp/pinebrook_temp.dat and the host's memory ------
 * Addresses are 4 bytes in the 32-bit Windows build and 8 bytes elsewhere. */
#if defined(_WIN32) && !defined(_WIN64)
#define QX_ADDRESS_WIDTH 4
#else
#define QX_ADDRESS_WIDTH 8
#endif

/* The address fields for either width, so that a build of one width can check the other's. */
#define QX_RESULT_TRANSFER_FIELDS_OF_WIDTH(X, width) \
  X(header_block, 0, width, ADDRESS)                  \
  X(first_row, width, width, ADDRESS)
#define QX_RESULT_ROW_NEXT_OFFSET_OF_WIDTH(width) ((width) == 4 ? 5036 : 5040)

#define QX_RESULT_TRANSFER_SIZE 952
#define QX_RESULT_TRANSFER_FIELDS(X) QX_RESULT_TRANSFER_FIELDS_OF_WIDTH(X, QX_ADDRESS_WIDTH)

#define QX_RESULT_HEADER_SIZE 952
#define QX_RESULT_HEADER_FIELDS(X)                                                        \
  X(header_text1, 0, 50, TEXT) X(header_text2, 50, 50, TEXT) X(header_text3, 100, 50, TEXT) \
  X(header_text4, 150, 50, TEXT) X(header_text5, 200, 50, TEXT)                           \
  X(text1_enabled, 252, 4, INT32) X(text1_row, 256, 4, INT32) X(text1_column, 260, 4, INT32) \
  X(text2_enabled, 264, 4, INT32) X(text2_row, 268, 4, INT32) X(text2_column, 272, 4, INT32) \
  X(text3_enabled, 276, 4, INT32) X(text3_row, 280, 4, INT32) X(text3_column, 284, 4, INT32) \
  X(text4_enabled, 288, 4, INT32) X(text4_row, 292, 4, INT32) X(text4_column, 296, 4, INT32) \
  X(text5_enabled, 300, 4, INT32) X(text5_row, 304, 4, INT32) X(text5_column, 308, 4, INT32) \
  X(workbook_path, 412, 256, TEXT) X(column_spec, 668, 256, TEXT)                         \
  X(first_body_row, 924, 4, INT32) X(last_body_row, 928, 4, INT32)                        \
  X(border_weight, 932, 4, INT32) X(record_count, 936, 4, INT32)                          \
  X(pagination, 940, 4, INT32) X(switch_a, 944, 4, INT32) X(switch_b, 948, 4, INT32)

#define QX_RESULT_ROW_NEXT_OFFSET QX_RESULT_ROW_NEXT_OFFSET_OF_WIDTH(QX_ADDRESS_WIDTH)
#define QX_RESULT_ROW_SIZE (QX_RESULT_ROW_NEXT_OFFSET + QX_ADDRESS_WIDTH)
#define QX_RESULT_ROW_FIELDS(X)                                                              \
  X(field_a, 0, 50, TEXT) X(field_b, 50, 50, TEXT) X(field_c, 100, 50, TEXT)                 \
  X(field_d, 150, 50, TEXT) X(field_e, 200, 50, TEXT) X(field_f, 250, 50, TEXT)              \
  X(field_g, 300, 50, TEXT) X(field_h, 350, 50, TEXT) X(field_i, 400, 50, TEXT)              \
  X(field_j, 450, 54, TEXT) X(field_k, 504, 50, TEXT) X(field_l, 554, 512, TEXT)             \
  X(field_m, 1066, 512, TEXT) X(field_n, 1578, 50, TEXT) X(field_o, 1628, 50, TEXT)          \
  X(field_p, 1678, 50, TEXT) X(field_q, 1728, 50, TEXT) X(field_r, 1778, 50, TEXT)           \
  X(field_s, 1828, 50, TEXT) X(field_t, 1878, 50, TEXT) X(field_u, 1928, 50, TEXT)           \
  X(field_v, 1978, 50, TEXT) X(field_x, 2028, 50, TEXT) X(field_y, 2078, 50, TEXT)           \
  X(field_2, 2128, 256, TEXT) X(field_3, 2384, 256, TEXT) X(field_1, 2640, 80, TEXT)         \
  X(field_z, 2720, 80, TEXT) X(field_4, 2800, 80, TEXT) X(field_5, 2880, 80, TEXT)           \
  X(field_6, 2960, 80, TEXT) X(picture_path, 3040, 256, TEXT) X(field_8, 3296, 80, TEXT)     \
  X(field_9, 3376, 80, TEXT) X(field_0, 3456, 80, TEXT) X(field_lt, 3536, 30, TEXT)          \
  X(field_lbracket, 3566, 30, TEXT) X(field_gt, 3596, 286, TEXT)                             \
  X(field_rparen, 3882, 256, TEXT) X(field_amp, 4138, 256, TEXT) X(extra_1, 4394, 80, TEXT)  \
  X(extra_2, 4474, 80, TEXT) X(extra_3, 4554, 80, TEXT) X(extra_4, 4634, 80, TEXT)           \
  X(extra_5, 4714, 80, TEXT) X(extra_6, 4794, 80, TEXT) X(extra_7, 4874, 80, TEXT)           \
  X(extra_8, 4954, 80, TEXT) X(next, QX_RESULT_ROW_NEXT_OFFSET, QX_ADDRESS_WIDTH, ADDRESS)

/* Offsets as named constants: QX_CHECK_POINT_HEADER_template_path and so on. */
#define QX_OFFSET_CONSTANT(prefix, name, offset) prefix##_##name = (offset),
#define QX_CHECK_POINT_HEADER_OFFSET(n, o, w, k) QX_OFFSET_CONSTANT(QX_CHECK_POINT_HEADER, n, o)
#define QX_CHECK_POINT_ROW_OFFSET(n, o, w, k) QX_OFFSET_CONSTANT(QX_CHECK_POINT_ROW, n, o)
#define QX_GROUP_TABLE_HEADER_OFFSET(n, o, w, k) QX_OFFSET_CONSTANT(QX_GROUP_TABLE_HEADER, n, o)
#define QX_GROUP_TABLE_ROW_OFFSET(n, o, w, k) QX_OFFSET_CONSTANT(QX_GROUP_TABLE_ROW, n, o)
#define QX_DUAL_SPEC_HEADER_OFFSET(n, o, w, k) QX_OFFSET_CONSTANT(QX_DUAL_SPEC_HEADER, n, o)
#define QX_DUAL_SPEC_ROW_OFFSET(n, o, w, k) QX_OFFSET_CONSTANT(QX_DUAL_SPEC_ROW, n, o)
#define QX_RESULT_HEADER_OFFSET(n, o, w, k) QX_OFFSET_CONSTANT(QX_RESULT_HEADER, n, o)
#define QX_RESULT_ROW_OFFSET(n, o, w, k) QX_OFFSET_CONSTANT(QX_RESULT_ROW, n, o)

enum { QX_CHECK_POINT_HEADER_FIELDS(QX_CHECK_POINT_HEADER_OFFSET) };
enum { QX_CHECK_POINT_ROW_FIELDS(QX_CHECK_POINT_ROW_OFFSET) };
enum { QX_GROUP_TABLE_HEADER_FIELDS(QX_GROUP_TABLE_HEADER_OFFSET) };
enum { QX_GROUP_TABLE_ROW_FIELDS(QX_GROUP_TABLE_ROW_OFFSET) };
enum { QX_DUAL_SPEC_HEADER_FIELDS(QX_DUAL_SPEC_HEADER_OFFSET) };
enum { QX_DUAL_SPEC_ROW_FIELDS(QX_DUAL_SPEC_ROW_OFFSET) };
enum { QX_RESULT_HEADER_FIELDS(QX_RESULT_HEADER_OFFSET) };
enum { QX_RESULT_ROW_FIELDS(QX_RESULT_ROW_OFFSET) };

/* ---- The exports -------------------------------------------------------------------------
 * Each library exports one function under its plain name, with C linkage and the platform's C
 * calling convention (cdecl in the 32-bit Windows build, where tamarack.dll is built; the
 * 64-bit builds have one convention):
 *   excel_file       libvellum.so / vellum.dll, and libkestrel.so / kestrel.dll
 *   excel_file_auto  libvellum_x.so / vellum_x.dll
 *   export_to_excel  libtamarack.so / tamarack.dll
 * A host links one of the libraries that export excel_file, or loads them (dlopen, LoadLibrary)
 * and calls through the pointer types below.
 *
 * Texts: every text field, the template's path included, is GBK (code page 936), ended by a NUL
 * inside its slot; so are the paths in the data files. The configuration folder (D:\qx_conf on
 * Windows, $QX_CONF_DIR elsewhere) holds the data files and the pictures named in each part
 * above.
 *
 * What a call does to its template: it opens the workbook the header names, fills its active
 * sheet and saves it in place, over the template file, and leaves it open (in Excel) for the
 * user. A call never reports to its caller: every failure is shown to the user in a message
 * box, and the template is then left as it was. Calling again on the same, already filled file
 * does not add a second table below the first: vellum and vellum_x write the same cells again;
 * kestrel and tamarack find the first table cell (start row, column 1) taken and start one row
 * lower, so the second table covers the first but for its first row; heron refuses a template
 * whose first table cell shows text. Give every report a fresh copy of its template.
 *
 * Threads: a call runs on the caller's thread, which it initialises for COM (single-threaded
 * apartment), and returns when the workbook is saved. Calls of vellum, vellum_x and kestrel on
 * different templates may run on different threads at once (vellum's picture file is one
 * fixed file: give them the same picture, or none). tamarack reads the one transfer file of the
 * configuration folder, so its calls in one process follow one another; so do heron runs
 * sharing a configuration folder. The header and row records must stay valid and unchanged
 * until the call returns; tamarack writes the shifted rows back into its header block. */
#if defined(_WIN32) && !defined(_WIN64)
#define QX_EXPORT_CALL __cdecl
#else
#define QX_EXPORT_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif
/* header: a QX_GROUP_TABLE_HEADER (vellum) or QX_DUAL_SPEC_HEADER (kestrel); first_row: the
 * first QX_GROUP_TABLE_ROW or QX_DUAL_SPEC_ROW of the row list, or NULL for none (vellum then
 * returns at once and fills nothing; kestrel fills the header texts). */
void QX_EXPORT_CALL excel_file(const void* header, const void* first_row);
/* header: a QX_GROUP_TABLE_HEADER, not NULL; first_row: the first QX_GROUP_TABLE_ROW, or NULL
 * to fill the header texts alone. */
void QX_EXPORT_CALL excel_file_auto(const void* header, const void* first_row);
/* The arguments are never read: tamarack takes its records from the transfer record
 * <conf>/temp/pinebrook_temp.dat (QX_RESULT_TRANSFER), which the host writes first. */
void QX_EXPORT_CALL export_to_excel(void* unused1, void* unused2);

typedef void (QX_EXPORT_CALL* qx_table_export_fn)(const void* header, const void* first_row); /* excel_file, excel_file_auto */
typedef void (QX_EXPORT_CALL* qx_result_export_fn)(void* unused1, void* unused2);             /* export_to_excel */
#ifdef __cplusplus
}
#endif

/* clang-format on */

#endif /* QX_HOST_RECORDS_H */
