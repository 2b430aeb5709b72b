#!/usr/bin/python3
"""Reads a filled workbook back with openpyxl, an independent reader.

  read_back.py cells <path> <sheet>   one line per cell of worksheet <sheet> (0-based) with a
                                      value or a border: <A1 name> TAB <value> TAB
                                      <left,right,top,bottom line styles>
  read_back.py sheets <path>          the number of worksheets
  read_back.py cell <path> <sheet> <A1 name>...
                                      the same line for each named cell, value or not
  read_back.py offset <path>          writes a template whose used range begins at C3
  read_back.py rows <path> <sheet>    streamed: the number of rows with a value, then the
                                      values of the last such row, tab-separated
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


def line(cell, name):
    b = cell.border
    sides = [s.style or "" for s in (b.left, b.right, b.top, b.bottom)]
    value = "" if cell.value is None else str(cell.value)
    return "%s\t%s\t%s" % (name, value, ",".join(sides))


def cell(path, sheet, names):
    ws = load_workbook(path).worksheets[int(sheet)]
    out = [line(ws[name], name) for name in names]
    sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))


def shown(value):
    if value is None:
        return ""
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    return str(value)


def rows(path, sheet):
    ws = load_workbook(path, read_only=True).worksheets[int(sheet)]
    count, last = 0, []
    for values in ws.iter_rows(values_only=True):
        if any(v is not None for v in values):
            count += 1
            last = [shown(v) for v in values]
    sys.stdout.buffer.write(("%d\n%s\n" % (count, "\t".join(last))).encode("utf-8"))


def offset(path):
    from openpyxl import Workbook
    wb = Workbook()
    wb.active["C3"] = "左上角"
    wb.active["F9"] = "右下角"
    wb.save(path)


if __name__ == "__main__":
    verb = sys.argv[1]
    if verb == "offset":
        offset(sys.argv[2])
    elif verb == "cells":
        cells(sys.argv[2], sys.argv[3])
    elif verb == "cell":
        cell(sys.argv[2], sys.argv[3], sys.argv[4:])
    elif verb == "rows":
        rows(sys.argv[2], sys.argv[3])
    else:
        sheets(sys.argv[2])
