"""Reads a workbook the engine filled with an independent reader (openpyxl) and checks the
texts, the frames and the picture. Usage: read_back.py FILE FIRST_ROW ROWS COLUMNS."""
import sys

import openpyxl
from openpyxl.packaging.relationship import get_dependents, get_rels_path
from openpyxl.reader.excel import ExcelReader
from openpyxl.xml.functions import fromstring

XDR = "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing"
A = "http://schemas.openxmlformats.org/drawingml/2006/main"
R = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"


def fail(message):
    print(message)
    sys.exit(1)


def main():
    path, first_row, rows, columns = sys.argv[1], *map(int, sys.argv[2:5])
    book = openpyxl.load_workbook(path)
    sheet = book.active
    for r in range(first_row, first_row + rows):
        for c in range(1, columns + 1):
            cell = sheet.cell(row=r, column=c)
            expected = "单元%d-%d" % (r, c)
            if cell.value != expected:
                fail("%s: %r, expected %r" % (cell.coordinate, cell.value, expected))
            for side in ("left", "right", "top", "bottom"):
                if getattr(cell.border, side).style != "thin":
                    fail("%s: %s border is %r" % (cell.coordinate, side,
                                                  getattr(cell.border, side).style))
    # The picture: openpyxl drops images without Pillow, so follow its package reader from
    # the active sheet to the drawing and read the anchors of the picture elements.
    reader = ExcelReader(path)
    reader.read_manifest()
    reader.read_workbook()
    archive = reader.archive
    sheet_part = next(rel.target for sheet_entry, rel in reader.parser.find_sheets()
                      if sheet_entry.name == sheet.title)
    found = False
    for dep in get_dependents(archive, get_rels_path(sheet_part)).Relationship:
        if not dep.Type.endswith("/drawing"):
            continue
        images = get_dependents(archive, get_rels_path(dep.target))
        tree = fromstring(archive.read(dep.target))
        for anchor in tree:
            row = anchor.find("{%s}from/{%s}row" % (XDR, XDR))
            blip = anchor.find(".//{%s}blip" % A)
            if row is None or blip is None:
                continue
            target = images[blip.get("{%s}embed" % R)].target
            if (archive.read(target).startswith(b"\x89PNG")
                    and first_row - 1 <= int(row.text)):
                found = True
    if not found:
        fail("no PNG picture anchored at row %d of %s" % (first_row, sheet_part))
    print("ok", sheet_part)


main()
