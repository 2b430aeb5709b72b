"""vellum and vellum_x from the outside: this script plays the host. It loads each built library
by file name, lays the records out byte by byte in its own memory, links the rows by address,
calls the plain export, and reads the saved template back with openpyxl.

Usage: end_to_end.py <libvellum> <libvellum_x> <picture.bmp>
"""

import ctypes
import datetime
import os
import shutil
import sys
import tempfile
import unittest
import zipfile

import openpyxl

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
import host_records  # noqa: E402

LIBRARIES = {}
PICTURE = None
RECORDS = host_records.load()
HEADER = RECORDS["GROUP_TABLE_HEADER"]
ROW = RECORDS["GROUP_TABLE_ROW"]
XL_THIN = 2
SENTINEL = -10000.0


def put_text(record, buffer, name, text):
    record.put_text(buffer, name, text.encode("gbk"))


class Header:
    def __init__(self, template):
        self.bytes = bytearray(HEADER.size)
        put_text(HEADER, self.bytes, "template_path", template)

    def ints(self, **fields):
        names = {"picture": "picture_flag", "weight": "border_weight", "start_row": "start_row",
                 "group_column": "group_column", "time_format": "time_format"}
        for name, value in fields.items():
            HEADER.put_int32(self.bytes, names[name], value)
        return self

    def slot(self, number, row, column, text):
        for field, value in (("show", 1), ("row", row), ("column", column)):
            HEADER.put_int32(self.bytes, "slot%d_%s" % (number, field), value)
        put_text(HEADER, self.bytes, "slot%d_text" % number, text)
        return self

    def spec(self, letters):
        put_text(HEADER, self.bytes, "column_spec", letters)
        return self

    def picture_block(self, first, last):
        put_text(HEADER, self.bytes, "picture_first_cell", first)
        put_text(HEADER, self.bytes, "picture_last_cell", last)
        return self

    def buffer(self):
        return ctypes.create_string_buffer(bytes(self.bytes), HEADER.size)


def row_list(records):
    """Rows in the host's memory, each linked to the next; returns (first, keep-alive list)."""
    buffers = []
    for key, minutes, b_text in records:
        data = bytearray(ROW.size)
        put_text(ROW, data, "group_key", key)
        put_text(ROW, data, "b_text", b_text)
        ROW.put_double(data, "time_value", minutes)
        buffers.append(ctypes.create_string_buffer(bytes(data), ROW.size))
    for this, following in zip(buffers, buffers[1:]):
        ROW.put_address(this, "next", ctypes.addressof(following))
    return (buffers[0] if buffers else None), buffers


def shown(cell):
    """What the cell shows, as the exporter wrote it (times as h:mm, whole numbers plain)."""
    value = cell.value
    if value is None:
        return ""
    if isinstance(value, datetime.time):
        return "%d:%02d" % (value.hour, value.minute)
    if isinstance(value, datetime.timedelta):
        minutes = round(value.total_seconds() / 60)
        return "%d:%02d" % divmod(minutes, 60)
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    return str(value)


def read_bytes(path):
    with open(path, "rb") as package:
        return package.read()


def framed(cell):
    sides = (cell.border.left, cell.border.right, cell.border.top, cell.border.bottom)
    return all(side is not None and side.style == "thin" for side in sides)


class GroupTableEndToEnd(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="vellum-e2e-")
        self.conf = os.path.join(self.dir, "conf")
        os.makedirs(os.path.join(self.conf, "temp"))
        self.log = os.path.join(self.dir, "messages.log")
        os.environ["QX_CONF_DIR"] = self.conf
        os.environ["QX_MESSAGE_LOG"] = self.log
        self.template = os.path.join(self.dir, "模板.xlsx")
        book = openpyxl.Workbook()
        book.active["A1"] = "分组报表"  # the used range starts at A1
        book.active.title = "报表"
        book.save(self.template)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def call(self, library, header, first):
        name = "excel_file_auto" if library == "vellum_x" else "excel_file"
        export = getattr(ctypes.CDLL(LIBRARIES[library]), name)
        export.restype = None
        export.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        export(ctypes.addressof(header), ctypes.addressof(first) if first is not None else None)

    def messages(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="utf-8") as log:
            return log.read().splitlines()

    def sheet(self):
        return openpyxl.load_workbook(self.template).active

    def grid(self, sheet, rows, columns):
        return [[shown(sheet.cell(row=r, column=c)) for c in columns] for r in rows]

    def test_vellum_heading_rows_group_totals_header_slots_and_picture(self):
        shutil.copyfile(PICTURE, os.path.join(self.conf, "temp", "post_excel_sheet_pictrue.bmp"))
        header = (Header(self.template).ints(picture=1, weight=XL_THIN, start_row=5,
                                             group_column=4, time_format=1)
                  .spec("al").slot(1, 2, 1, "项目: 示例").slot(21, 3, 1, "旧").slot(22, 3, 1, "新")
                  .picture_block("F2", "H8"))
        first, keep = row_list([("A", 30, ""), ("A", 40, ""), ("B", 50, "")])
        self.call("vellum", header.buffer(), first)
        self.assertEqual(self.messages(), [])
        sheet = self.sheet()
        self.assertEqual(shown(sheet["A1"]), "分组报表")
        self.assertEqual(shown(sheet["A2"]), "项目: 示例")
        self.assertEqual(shown(sheet["A3"]), "新")  # slot 22 is written after slot 21
        self.assertEqual(self.grid(sheet, range(5, 12), range(1, 5)), [
            ["", "", "", "A"],
            ["1", "0:30", "", ""],
            ["2", "0:40", "", ""],
            ["总计:", "1:10", "", ""],
            ["", "", "", "B"],
            ["3", "0:50", "", ""],
            ["总计:", "0:50", "", ""],
        ])
        for row in (6, 7, 8, 10, 11):
            for column in "AB":
                self.assertTrue(framed(sheet["%s%d" % (column, row)]), "%s%d" % (column, row))
        self.assertFalse(framed(sheet["D5"]))  # heading cells are not framed
        self.assertFalse(framed(sheet["A5"]))
        with zipfile.ZipFile(self.template) as package:
            self.assertTrue(any(n.startswith("xl/media/") for n in package.namelist()))

    def test_vellum_x_shows_the_key_once_and_writes_no_heading_rows(self):
        header = (Header(self.template).ints(weight=XL_THIN, start_row=5, time_format=1)
                  .spec("bal"))
        first, keep = row_list([("A", 30, ""), ("A", 40, ""), ("B", 6000, "")])
        self.call("vellum_x", header.buffer(), first)
        self.assertEqual(self.messages(), [])
        sheet = self.sheet()
        self.assertEqual(self.grid(sheet, range(5, 10), range(1, 4)), [
            ["A", "1", "0:30"],
            ["", "2", "0:40"],
            ["", "总计:", "1:10"],
            ["B", "3", "100:00"],
            ["", "总计:", "100:00"],
        ])
        self.assertTrue(framed(sheet["A6"]))  # the empty b cell is framed too
        self.assertFalse(framed(sheet["A7"]))  # left of the total label

    def test_vellum_x_without_rows_fills_the_header_and_saves(self):
        header = Header(self.template).ints(picture=1).slot(2, 4, 2, "版本 A")
        header = header.picture_block("B2", "C3")
        self.call("vellum_x", header.buffer(), None)
        self.assertEqual(self.messages(), ["没有产生图片文件, 将不可以帖图!"])
        sheet = self.sheet()
        self.assertEqual(shown(sheet["B4"]), "版本 A")
        self.assertEqual(sheet.max_row, 4)

    def test_vellum_without_rows_leaves_the_template_alone(self):
        before = read_bytes(self.template)
        header = Header(self.template).slot(2, 4, 2, "版本 A")
        self.call("vellum", header.buffer(), None)
        self.assertEqual(read_bytes(self.template), before)
        self.assertEqual(self.messages(), [])

    def test_a_missing_template_is_told(self):
        missing = os.path.join(self.dir, "无.xlsx")
        first, keep = row_list([("A", 30, "")])
        self.call("vellum", Header(missing).spec("al").buffer(), first)
        self.assertEqual(self.messages(), ["模板文件“%s”, 不存在!" % missing])


if __name__ == "__main__":
    LIBRARIES["vellum"], LIBRARIES["vellum_x"], PICTURE = sys.argv[1:4]
    del sys.argv[1:4]
    unittest.main()
