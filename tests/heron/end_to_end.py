"""heron from the outside: writes a check-point data file, a template and a picture into a fresh
configuration directory, runs the built program against the embedded engine, and reads the saved
workbook back with openpyxl and the package's own XML.

Usage: end_to_end.py <path of the heron executable>
"""

import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
import xml.etree.ElementTree as ET

import openpyxl

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
import host_records  # noqa: E402

HERON = None
RECORDS = host_records.load()
HEADER = RECORDS["CHECK_POINT_HEADER"]
ROW = RECORDS["CHECK_POINT_ROW"]
EMU_PER_POINT = 12700
XDR = "{http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing}"
A = "{http://schemas.openxmlformats.org/drawingml/2006/main}"

# Border weight codes of the server and the style names the package uses for them.
XL_MEDIUM = -4138


def gbk(text):
    return text.encode("gbk")


def header_bytes(template, first_row, weight, row_count, spec, texts, cell1, cell2):
    """The header at the host's offsets, zero-filled, so that a text shorter than its slot ends
    with a NUL; texts: three (row, col, text) or None."""
    head = bytearray(HEADER.size)
    for n, entry in enumerate(texts, 1):
        flag, row, column, text = (1,) + entry if entry else (0, 0, 0, "")
        for name, value in (("flag", flag), ("row", row), ("col", column)):
            HEADER.put_int32(head, "text%d_%s" % (n, name), value)
        HEADER.put_text(head, "text%d" % n, gbk(text), terminate=False)
    # reserved_36 and reserved_44 hold words of the host's own.
    for name, value in (("reserved_36", 0x51), ("first_row", first_row), ("reserved_44", 0x52),
                        ("border_weight", weight), ("row_count", row_count)):
        HEADER.put_int32(head, name, value)
    for name, data in (("column_spec", spec.encode("ascii")), ("template_path", gbk(template)),
                       ("picture_cell1", cell1.encode("ascii")),
                       ("picture_cell2", cell2.encode("ascii"))):
        HEADER.put_text(head, name, data, terminate=False)
    return bytes(head)


def row_bytes(a, b, c, d):
    row = bytearray(ROW.size)
    for name, text in zip(("field_a", "field_b", "field_c", "field_d"), (a, b, c, d)):
        ROW.put_text(row, name, gbk(text), terminate=False)
    tail = max(field.end for field in ROW.fields.values())
    row[tail:tail + len(b"hosttail")] = b"hosttail"
    return bytes(row)


def bmp(width, height):
    """A 24-bit bitmap, bottom-up rows padded to four bytes."""
    stride = (width * 3 + 3) & ~3
    pixels = b"".join(bytes([0, 0, 255] * width) + b"\0" * (stride - width * 3)
                      for _ in range(height))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + pixels


class HeronEndToEnd(unittest.TestCase):
    def setUp(self):
        self.conf = tempfile.TemporaryDirectory(prefix="heron-e2e-")
        self.temp = os.path.join(self.conf.name, "temp")
        os.makedirs(self.temp)
        self.template = os.path.join(self.conf.name, "检查表模板.xlsx")
        self.log = os.path.join(self.conf.name, "messages.log")

    def tearDown(self):
        self.conf.cleanup()

    def make_template(self):
        book = openpyxl.Workbook()
        sheet = book.active
        sheet.title = "检查"
        sheet["A1"] = "检查点记录表"  # the used range begins at A1
        book.save(self.template)

    def run_heron(self, header, rows, picture=True):
        with open(os.path.join(self.temp, "check_point_temp.dat"), "wb") as f:
            f.write(header + b"".join(rows))
        if picture:
            with open(os.path.join(self.temp, "set_check_point_pictrue.bmp"), "wb") as f:
                f.write(bmp(4, 3))
        env = dict(os.environ, QX_CONF_DIR=self.conf.name, QX_MESSAGE_LOG=self.log)
        done = subprocess.run([HERON], env=env, capture_output=True, timeout=120)
        messages = []
        if os.path.exists(self.log):
            with open(self.log, encoding="utf-8") as f:
                messages = f.read().splitlines()
        return done.returncode, messages

    def template_bytes(self):
        with open(self.template, "rb") as f:
            return f.read()

    def picture_anchors(self):
        """(left, top) in points of every picture in the saved package, from its drawing."""
        with zipfile.ZipFile(self.template) as package:
            drawings = [n for n in package.namelist() if n.startswith("xl/drawings/drawing")
                        and n.endswith(".xml")]
            anchors = []
            for name in drawings:
                root = ET.fromstring(package.read(name))
                for anchor in root:
                    if anchor.find(f"{XDR}pic") is None:
                        continue
                    anchors.append(self.anchor_position(anchor))
        return anchors

    def anchor_position(self, anchor):
        if anchor.tag == f"{XDR}absoluteAnchor":
            pos = anchor.find(f"{XDR}pos")
            return int(pos.get("x")) / EMU_PER_POINT, int(pos.get("y")) / EMU_PER_POINT
        shape = anchor.find(f"{XDR}pic/{XDR}spPr/{A}xfrm/{A}ext")
        if shape is not None:
            # The picture's size went to the server cut to whole points.
            for size in (shape.get("cx"), shape.get("cy")):
                self.assertEqual(int(size) % EMU_PER_POINT, 0, size)
        start = anchor.find(f"{XDR}from")
        column = int(start.find(f"{XDR}col").text)
        row = int(start.find(f"{XDR}row").text)
        column_offset = int(start.find(f"{XDR}colOff").text) / EMU_PER_POINT
        row_offset = int(start.find(f"{XDR}rowOff").text) / EMU_PER_POINT
        return ("cell", column, row, column_offset, row_offset)

    def test_fills_frames_places_picture_and_saves(self):
        self.make_template()
        header = header_bytes(self.template, first_row=5, weight=XL_MEDIUM, row_count=3,
                              spec="abXcwd",
                              texts=[(2, 1, "工程: 示例大桥"), (2, 4, "日期: 2026-12-08"),
                                     (3, 1, "检查人: 王工")],
                              cell1="F2", cell2="H12")
        rows = [row_bytes("1", "K0+100 左幅", "12.5", "合格"),
                row_bytes("2", "K0+300 右幅", "", "需复查"),
                row_bytes("3", "K0+500 桥台", "9.8", "合格")]
        code, messages = self.run_heron(header, rows + [b"surplus bytes never read"])
        self.assertEqual(code, 0)
        self.assertEqual(messages, [])

        book = openpyxl.load_workbook(self.template)
        sheet = book.active
        self.assertEqual(sheet["A1"].value, "检查点记录表")
        self.assertEqual(sheet["A2"].value, "工程: 示例大桥")
        self.assertEqual(sheet["D2"].value, "日期: 2026-12-08")
        self.assertEqual(sheet["A3"].value, "检查人: 王工")
        for header_cell in ("A2", "D2", "A3"):
            self.assertIsNone(sheet[header_cell].border.left.style, header_cell)
        expected = [["1", "K0+100 左幅", "12.5", None, "合格"],
                    ["2", "K0+300 右幅", None, None, "需复查"],
                    ["3", "K0+500 桥台", "9.8", None, "合格"]]
        for i, values in enumerate(expected):
            for k, value in enumerate(values):
                cell = sheet.cell(row=5 + i, column=1 + k)
                shown = None if cell.value in (None, "") else str(cell.value)
                self.assertEqual(shown, value, cell.coordinate)
                for side in (cell.border.left, cell.border.right, cell.border.top,
                             cell.border.bottom):
                    self.assertEqual(side.style, "medium", cell.coordinate)
            self.assertIsNone(sheet.cell(row=5 + i, column=6).border.left.style)
        self.assertIsNone(sheet["A8"].value)

        anchors = self.picture_anchors()
        self.assertEqual(len(anchors), 1)
        position = anchors[0]
        if position[0] == "cell":
            # Anchored to F2, 2 points right of its left edge and 3 below its top.
            self.assertEqual(position[1:3], (5, 1))
            self.assertAlmostEqual(position[3], 2, places=3)
            self.assertAlmostEqual(position[4], 3, places=3)
        else:
            left, top = position
            self.assertEqual(left, int(left))  # whole points
            self.assertEqual(top, int(top))

    def test_template_not_empty_is_left_unsaved(self):
        self.make_template()
        book = openpyxl.load_workbook(self.template)
        book.active["A5"] = "旧"
        book.save(self.template)
        before = self.template_bytes()
        header = header_bytes(self.template, 5, 2, 1, "a", [None, None, None], "A1", "B2")
        code, messages = self.run_heron(header, [row_bytes("x", "", "", "")])
        self.assertEqual(code, 0)
        self.assertEqual(messages, [
            f"模板文件“{self.template}”, 不是一个空的表格, 请清除表格内的内容!"])
        self.assertEqual(self.template_bytes(), before)

    def test_missing_data_file_is_told(self):
        env = dict(os.environ, QX_CONF_DIR=self.conf.name, QX_MESSAGE_LOG=self.log)
        done = subprocess.run([HERON], env=env, capture_output=True, timeout=60)
        self.assertEqual(done.returncode, 0)
        with open(self.log, encoding="utf-8") as f:
            self.assertEqual(f.read(), "打开 excel 的临时文件错误!\n")


if __name__ == "__main__":
    HERON = sys.argv.pop(1)
    unittest.main()
