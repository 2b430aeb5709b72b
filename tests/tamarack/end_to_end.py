"""tamarack from the outside: loads the built library by file name into this process, lays the
header block and the row chain out in this process's memory, writes their addresses into the
transfer record of a fresh configuration directory, calls export_to_excel against the embedded
engine and reads the saved workbook back with openpyxl.

Usage: end_to_end.py <path of libtamarack.so> <path of the shipped language file>
"""

import ctypes
import os
import shutil
import struct
import sys
import tempfile
import unittest
import zipfile

import openpyxl

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
import host_records  # noqa: E402

LIBRARY = None
LANGUAGE_FILE = None

# This interpreter's address width moves the first row's address and the row link.
RECORDS = host_records.load()
TRANSFER = RECORDS["RESULT_TRANSFER"]
HEADER = RECORDS["RESULT_HEADER"]
ROW = RECORDS["RESULT_ROW"]
FIELDS = {"a": "field_a", "b": "field_b", "e": "field_e", "n": "field_n", "7": "picture_path",
          "8": "field_8", "0": "field_0"}


def gbk(text):
    return text.encode("gbk") + b"\0"


def bmp(width, height):
    """A 24-bit bitmap, bottom-up rows padded to four bytes."""
    stride = (width * 3 + 3) & ~3
    pixels = b"".join(bytes([255, 0, 0] * width) + b"\0" * (stride - width * 3)
                      for _ in range(height))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + pixels


class HostMemory:
    """The host's records, kept alive in this process until the call returns."""

    def __init__(self, template, spec, first_row, last_row, paginated, switch_a, switch_b):
        self.header = ctypes.create_string_buffer(HEADER.size)
        self.rows = []
        h = self.header
        HEADER.put_text(h, "header_text1", gbk("工程: 二号桥"), terminate=False)
        for name, value in (("text1_enabled", 1), ("text1_row", 2), ("text1_column", 1),
                            ("text2_enabled", 0), ("text2_row", 3), ("text2_column", 1),
                            ("first_body_row", first_row), ("last_body_row", last_row),
                            ("border_weight", 2), ("record_count", 0), ("pagination", paginated),
                            ("switch_a", switch_a), ("switch_b", switch_b)):
            HEADER.put_int32(h, name, value)
        HEADER.put_text(h, "workbook_path", gbk(template), terminate=False)
        HEADER.put_text(h, "column_spec", spec.encode("ascii"))

    def add_row(self, fields):
        row = ctypes.create_string_buffer(ROW.size)
        for selector, text in fields.items():
            ROW.put_text(row, FIELDS[selector], gbk(text), terminate=False)
        if self.rows:
            ROW.put_address(self.rows[-1], "next", ctypes.addressof(row))
        self.rows.append(row)
        HEADER.put_int32(self.header, "record_count", len(self.rows))

    def transfer_record(self):
        record = bytearray(b"\xee" * TRANSFER.size)
        TRANSFER.put_address(record, "header_block", ctypes.addressof(self.header))
        TRANSFER.put_address(record, "first_row",
                             ctypes.addressof(self.rows[0]) if self.rows else 0)
        return bytes(record)

    def int_at(self, name):
        return HEADER.int32(self.header, name)


class TamarackEndToEnd(unittest.TestCase):
    def setUp(self):
        self.conf = tempfile.TemporaryDirectory(prefix="tamarack-e2e-")
        os.makedirs(os.path.join(self.conf.name, "temp"))
        os.makedirs(os.path.join(self.conf.name, "lang"))
        shutil.copy(LANGUAGE_FILE, os.path.join(self.conf.name, "lang", "pinebrook_exe.txt"))
        self.template = os.path.join(self.conf.name, "成果表模板.xlsx")
        self.log = os.path.join(self.conf.name, "messages.log")
        os.environ["QX_CONF_DIR"] = self.conf.name
        os.environ["QX_MESSAGE_LOG"] = self.log
        self.library = ctypes.CDLL(LIBRARY)
        self.library.export_to_excel.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        self.library.export_to_excel.restype = None

    def tearDown(self):
        self.conf.cleanup()

    def make_template(self, sheets, taken_row=None):
        book = openpyxl.Workbook()
        for n in range(sheets):
            sheet = book.active if n == 0 else book.create_sheet()
            sheet.title = f"第{n + 1}页"
            sheet["A1"] = "计算成果表"  # the used range begins at A1
            if taken_row:
                sheet.cell(row=taken_row, column=1, value="表头")
        book.save(self.template)

    def export(self, host):
        with open(os.path.join(self.conf.name, "temp", "pinebrook_temp.dat"), "wb") as f:
            f.write(host.transfer_record())
        self.library.export_to_excel(None, None)
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="utf-8") as f:
            return f.read().splitlines()

    def assertShows(self, sheet, ref, text):
        """The cell shows `text`: as that text, or as the number the server read from it."""
        value = sheet[ref].value
        if isinstance(value, (int, float)) and not isinstance(value, bool):
            self.assertAlmostEqual(value, float(text), places=9, msg=ref)
        else:
            self.assertEqual(value, text, ref)

    def assertFramed(self, sheet, *refs):
        for ref in refs:
            border = sheet[ref].border
            for side in (border.left, border.right, border.top, border.bottom):
                self.assertIsNotNone(side.style, f"{sheet.title}!{ref}")

    def test_pages_over_three_worksheets_with_subtotals_and_totals(self):
        self.make_template(3)
        picture = os.path.join(self.conf.name, "temp", "截面.bmp")
        with open(picture, "wb") as f:
            f.write(bmp(8, 6))
        host = HostMemory(self.template, "aew8n7", 5, 7, 1, 1, 1)
        records = [("甲", "1", "1.5", "1.25"), ("乙", "2", "2.25", "1"), ("丙", "3", "3", "0.5"),
                   ("丁", "4", "0.5", "2")]
        for a, e, eight, n in records:
            host.add_row({"a": a, "e": e, "8": eight, "n": n, "7": picture})
        messages = self.export(host)
        self.assertEqual(messages, [])

        book = openpyxl.load_workbook(self.template)
        first, second, third = book.worksheets
        self.assertEqual(first["A2"].value, "工程: 二号桥")
        self.assertEqual(second["A2"].value, "工程: 二号桥")  # the header again on the new page
        self.assertIsNone(third["A2"].value)
        for row, (a, e, eight, n) in zip((5, 6, 7), records):
            self.assertEqual(first[f"A{row}"].value, a)
            self.assertShows(first, f"B{row}", e)
            self.assertIsNone(first[f"C{row}"].value)  # "w": empty and framed
            self.assertShows(first, f"D{row}", eight)
            self.assertShows(first, f"E{row}", n)
            self.assertFramed(first, f"A{row}", f"C{row}", f"E{row}", f"F{row}")
        # Page subtotals: n's label lands on the column of "8", then 8's own sum replaces it.
        self.assertEqual(first["A8"].value, "小计:")
        self.assertShows(first, "B8", "6")
        self.assertEqual(first["C8"].value, "小计:")
        self.assertShows(first, "D8", "6.75")
        self.assertShows(first, "E8", "2.750")
        self.assertFramed(first, "A8", "B8", "C8", "D8", "E8")
        self.assertEqual(second["A5"].value, "丁")
        self.assertEqual(second["A6"].value, "小计:")
        self.assertShows(second, "B6", "4")
        self.assertShows(second, "D6", "0.50")
        self.assertEqual(second["A7"].value, "总计:")
        self.assertShows(second, "B7", "10")
        self.assertEqual(second["C7"].value, "总计:")
        self.assertShows(second, "D7", "7.25")
        self.assertShows(second, "E7", "4.75")
        self.assertFramed(second, "A7", "E7")
        self.assertIsNone(first["A2"].border.left.style)  # header texts are not framed
        with zipfile.ZipFile(self.template) as package:
            media = [n for n in package.namelist() if n.startswith("xl/media/")]
        self.assertGreaterEqual(len(media), 1)
        self.assertEqual(host.int_at("first_body_row"), 5)  # not shifted: nothing written back

    def test_shifted_template_tells_the_host(self):
        self.make_template(1, taken_row=5)
        host = HostMemory(self.template, "ae", 5, 20, 0, 0, 0)
        host.add_row({"a": "甲", "e": "3"})
        self.assertEqual(self.export(host), [])
        self.assertEqual((host.int_at("first_body_row"), host.int_at("last_body_row"),
                          host.int_at("text1_row")), (6, 21, 3))
        sheet = openpyxl.load_workbook(self.template).active
        self.assertEqual(sheet["A3"].value, "工程: 二号桥")
        self.assertEqual(sheet["A6"].value, "甲")
        self.assertEqual(sheet["A7"].value, "总计:")
        self.assertFramed(sheet, "A5", "B5", "A6", "B6")  # frames one row above the texts

    def test_one_worksheet_runs_out_of_pages_unsaved(self):
        self.make_template(1)
        with open(self.template, "rb") as f:
            before = f.read()
        host = HostMemory(self.template, "ae", 5, 5, 1, 1, 0)
        host.add_row({"a": "甲", "e": "1"})
        host.add_row({"a": "乙", "e": "2"})
        self.assertEqual(self.export(host), ["模板中的工作表不够, 请在模板中增加工作表!"])
        with open(self.template, "rb") as f:
            self.assertEqual(f.read(), before)


if __name__ == "__main__":
    LIBRARY, LANGUAGE_FILE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
