#!/usr/bin/python3
"""Makes the example templates and the picture used by the demo reports.

Run with Debian's python3 (python3-openpyxl): /usr/bin/python3 examples/make_examples.py
The outputs are committed; rerun this script after changing it.
"""
import os
import struct
import zlib

from openpyxl import Workbook
from openpyxl.styles import Alignment, Font, PatternFill

HERE = os.path.dirname(os.path.abspath(__file__))
TITLE = Font(name="SimSun", size=14, bold=True)
HEAD = Font(name="SimSun", size=11, bold=True)
FILL = PatternFill("solid", fgColor="DDEBF7")


def heading(ws, row, labels, start_col=1):
    for i, label in enumerate(labels):
        cell = ws.cell(row=row, column=start_col + i, value=label)
        cell.font = HEAD
        cell.fill = FILL
        cell.alignment = Alignment(horizontal="center")


def widths(ws, values):
    for i, width in enumerate(values):
        ws.column_dimensions[chr(ord("A") + i)].width = width


def heron():
    wb = Workbook()
    ws = wb.active
    ws.title = "检查点"
    ws["A1"] = "检查点表"
    ws["A1"].font = TITLE
    heading(ws, 4, ["编号", "位置", "数值", "结论"])
    widths(ws, [10, 18, 12, 14, 4, 4, 4, 4])
    wb.save(os.path.join(HERE, "heron", "template.xlsx"))


def vellum():
    wb = Workbook()
    ws = wb.active
    ws.title = "计算书"
    ws["A1"] = "分组计算表"
    ws["A1"].font = TITLE
    heading(ws, 4, ["序号", "名称", "时长", "等级", "数值"])
    widths(ws, [8, 16, 10, 10, 12, 4, 4, 4])
    wb.save(os.path.join(HERE, "vellum", "template.xlsx"))


def kestrel():
    wb = Workbook()
    ws = wb.active
    ws.title = "规格表"
    ws["A1"] = "双规格表"
    ws["A1"].font = TITLE
    heading(ws, 4, ["序号", "型号", "数量", "备注", "附加"])
    widths(ws, [8, 16, 10, 14, 10, 10, 10, 10, 10, 10, 10, 10, 10])
    wb.save(os.path.join(HERE, "kestrel", "template.xlsx"))


def tamarack():
    wb = Workbook()
    for index in range(3):
        ws = wb.active if index == 0 else wb.create_sheet()
        ws.title = "第%d页" % (index + 1)
        ws["A1"] = "结果表"
        ws["A1"].font = TITLE
        heading(ws, 4, ["序号", "名称", "数量", "说明", "重量", "图"])
        widths(ws, [8, 16, 10, 10, 12, 14, 4])
        for row in range(5, 12):
            ws.row_dimensions[row].height = 30
    wb.save(os.path.join(HERE, "tamarack", "template.xlsx"))


def png(path, width=64, height=40):
    """A small gradient picture, written without any imaging library."""
    rows = b""
    for y in range(height):
        rows += b"\x00" + b"".join(
            bytes((40 + 3 * x, 90 + 3 * y, 200 - 2 * x)) for x in range(width))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(
            ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(rows)))
        out.write(chunk(b"IEND", b""))


def bmp(path, width=64, height=40):
    """The same picture as a 24-bit BMP, the form the host renders its fixed pictures in."""
    stride = (width * 3 + 3) & ~3
    pixels = b""
    for y in reversed(range(height)):
        row = b"".join(bytes((200 - 2 * x, 90 + 3 * y, 40 + 3 * x)) for x in range(width))
        pixels += row + b"\x00" * (stride - width * 3)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + pixels)


if __name__ == "__main__":
    for folder in ("heron", "vellum", "kestrel", "tamarack"):
        os.makedirs(os.path.join(HERE, folder), exist_ok=True)
    heron()
    vellum()
    kestrel()
    tamarack()
    png(os.path.join(HERE, "picture.png"))
    bmp(os.path.join(HERE, "picture.bmp"))
