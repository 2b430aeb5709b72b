#!/usr/bin/python3
"""Reads a filled workbook back with openpyxl, an independent reader.

  read_back.py cells <path> <sheet>   one line per cell of worksheet <sheet> (0-based) with a
                                      value or a border: <A1 name> TAB <value> TAB
                                      <left,right,top,bottom line styles>
  read_back.py sheets <path>          the number of worksheets
"""
import sys

from openpyxl import load_workbook


def cells(path, sheet):
    ws = load_workbook(path).worksheets[int(sheet)]
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


def sheets(path):
    print(len(load_workbook(path).worksheets))


if __name__ == "__main__":
    if sys.argv[1] == "cells":
        cells(sys.argv[2], sys.argv[3])
    else:
        sheets(sys.argv[2])
