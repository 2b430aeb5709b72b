#!/usr/bin/python3
"""Makes a dual-spec template and reads a filled one back, with openpyxl as an independent reader.

  xlsx_fixture.py make <path>   the template: a title in A1, A5 taken, B6 holding template text
  xlsx_fixture.py dump <path>   one line per cell with a value or a border:
                                <coordinate> TAB <value> TAB <left,right,top,bottom styles>
"""
import sys

from openpyxl import Workbook, load_workbook


def make(path):
    wb = Workbook()
    ws = wb.active
    ws.title = "规格表"
    ws["A1"] = "双规格表"
    ws["A5"] = "已占用"
    ws["B6"] = "模板内容"
    wb.save(path)


def dump(path):
    ws = load_workbook(path).active
    out = []
    for row in ws.iter_rows():
        for cell in row:
            b = cell.border
            sides = [s.style or "" for s in (b.left, b.right, b.top, b.bottom)]
            if cell.value is None and not any(sides):
                continue
            value = "" if cell.value is None else str(cell.value)
            out.append("%s\t%s\t%s" % (cell.coordinate, value, ",".join(sides)))
    sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))


if __name__ == "__main__":
    {"make": make, "dump": dump}[sys.argv[1]](sys.argv[2])
