/* A calculation program's call of kestrel, written in C from include/qx/host_records.h alone:
 * it lays out a QX_DUAL_SPEC_HEADER and three QX_DUAL_SPEC_ROWs by their offsets, links the
 * rows, and calls excel_file.
 *
 *   fill_report TEMPLATE.xlsx
 *
 * fills TEMPLATE.xlsx in place: the header text in A2, and from row 5 one row per record with
 * its number, its type and its count. kestrel reports nothing back; what went wrong is shown
 * to the user (on standard error outside Windows), and the workbook tells what was filled.
 * Build: cc -std=c99 fill_report.c $(pkg-config --cflags --libs qx-exporters) -lkestrel */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <qx/host_records.h>

/* Integers are little-endian, whatever the machine. */
static void put_int32(unsigned char* record, size_t offset, long value) {
  unsigned long bits = (unsigned long)value;
  int i;
  for (i = 0; i < 4; ++i) record[offset + i] = (unsigned char)((bits >> (8 * i)) & 0xFF);
}

/* A GBK text, cut to its slot and ended by a NUL inside it. */
static void put_text(unsigned char* record, size_t offset, size_t width, const char* gbk) {
  size_t length = strlen(gbk);
  if (length > width - 1) length = width - 1;
  memcpy(record + offset, gbk, length);
  record[offset + length] = 0;
}

/* An address in the machine's own form, which is the records' form: the exports run in this
 * process. */
static void put_address(unsigned char* record, size_t offset, const void* address) {
  memcpy(record + offset, &address, sizeof address);
}

int main(int argc, char** argv) {
  /* GBK: "型号清单" (list of types), and "型号-0N" (type 0N). */
  static const char* const types[] = {"\xD0\xCD\xBA\xC5-01", "\xD0\xCD\xBA\xC5-02",
                                      "\xD0\xCD\xBA\xC5-03"};
  static const long counts[] = {12, -3, 0};
  enum { kRows = 3 };
  unsigned char* header;
  unsigned char* rows[kRows];
  int i;

  if (argc != 2 || strlen(argv[1]) >= 256) {
    fprintf(stderr, "usage: fill_report TEMPLATE.xlsx (a path of at most 255 bytes)\n");
    return 2;
  }
  header = calloc(1, QX_DUAL_SPEC_HEADER_SIZE);
  if (header == NULL) return 1;
  put_text(header, QX_DUAL_SPEC_HEADER_header_text1, 50, "\xD0\xCD\xBA\xC5\xC7\xE5\xB5\xA5");
  put_int32(header, QX_DUAL_SPEC_HEADER_show_flag1, 1);
  put_int32(header, QX_DUAL_SPEC_HEADER_header_row1, 2);
  put_int32(header, QX_DUAL_SPEC_HEADER_header_column1, 1);
  put_text(header, QX_DUAL_SPEC_HEADER_template_path, 256, argv[1]);
  put_text(header, QX_DUAL_SPEC_HEADER_primary_spec, 256, "abc");
  put_int32(header, QX_DUAL_SPEC_HEADER_start_row, 5);
  put_int32(header, QX_DUAL_SPEC_HEADER_border_weight, 2); /* thin */

  for (i = 0; i < kRows; ++i) {
    rows[i] = calloc(1, QX_DUAL_SPEC_ROW_SIZE);
    if (rows[i] == NULL) return 1;
    put_text(rows[i], QX_DUAL_SPEC_ROW_primary_b, 31, types[i]);
    put_int32(rows[i], QX_DUAL_SPEC_ROW_primary_c, counts[i]);
  }
  for (i = 0; i + 1 < kRows; ++i) put_address(rows[i], QX_DUAL_SPEC_ROW_next, rows[i + 1]);
  put_address(rows[kRows - 1], QX_DUAL_SPEC_ROW_next, NULL);

  excel_file(header, rows[0]);

  for (i = 0; i < kRows; ++i) free(rows[i]);
  free(header);
  return 0;
}
