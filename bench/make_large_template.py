#!/usr/bin/python3
"""Writes a large template for bench/large_template.sh: a copy of a small template (kestrel's)
whose first sheet holds ROWS data rows of 10 cells (five numbers and five shared texts, the
mix a spreadsheet application saves) below the template's own rows, with a shared-strings part.

    make_large_template.py BASE.xlsx ROWS OUT.xlsx

The sheet is streamed into the zip a block of rows at a time, so a million rows take seconds
and little memory. Prints the sheet's uncompressed size in bytes.
"""

import re
import sys
import zipfile

CELLS = 10
TEXTS = 1000  # distinct shared texts, used round-robin
COLUMNS = "ABCDEFGHIJ"
SML = "application/vnd.openxmlformats-officedocument.spreadsheetml"


def main():
    base, rows, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    with zipfile.ZipFile(base) as z:
        parts = {name: z.read(name) for name in z.namelist()}
    sheet = parts.pop("xl/worksheets/sheet1.xml").decode()
    head, rest = sheet.split("<sheetData>", 1)
    own, tail = rest.split("</sheetData>", 1)
    first = max((int(r) for r in re.findall(r'<row r="(\d+)"', own)), default=0) + 2
    last = first + rows - 1
    head = re.sub(r'<dimension ref="[^"]*"/>', f'<dimension ref="A1:J{last}"/>', head)

    # One row's XML with its number in 11 places (the row and its cells' references).
    cell = []
    for c, column in enumerate(COLUMNS):
        if c % 2 == 0:
            cell.append(f'<c r="{column}%(r)d" s="2"><v>%(n{c})d</v></c>')
        else:
            cell.append(f'<c r="{column}%(r)d" s="2" t="s"><v>%(t{c})d</v></c>')
    row = '<row r="%(r)d">' + "".join(cell) + "</row>"

    written = 0
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
        for name, data in parts.items():
            if name == "[Content_Types].xml":
                data = data.replace(
                    b"</Types>",
                    f'<Override PartName="/xl/sharedStrings.xml" '
                    f'ContentType="{SML}.sharedStrings+xml"/></Types>'.encode())
            elif name == "xl/_rels/workbook.xml.rels":
                data = data.replace(
                    b"</Relationships>",
                    b'<Relationship Id="rIdLargeStrings" Type="http://schemas.openxmlformats.org/'
                    b'officeDocument/2006/relationships/sharedStrings" '
                    b'Target="sharedStrings.xml"/></Relationships>')
            z.writestr(name, data)
        texts = "".join(f"<si><t>text {i}</t></si>" for i in range(TEXTS))
        z.writestr("xl/sharedStrings.xml",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                   f'<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
                   f'count="{rows * CELLS // 2}" uniqueCount="{TEXTS}">{texts}</sst>')
        with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as s:
            def put(text):
                nonlocal written
                data = text.encode()
                written += len(data)
                s.write(data)

            put(head + "<sheetData>" + own)
            block = []
            for r in range(first, last + 1):
                values = {"r": r}
                for c in range(CELLS):
                    values[f"n{c}"] = r * CELLS + c
                    values[f"t{c}"] = (r + c) % TEXTS
                block.append(row % values)
                if len(block) == 10000:
                    put("".join(block))
                    block = []
            put("".join(block) + "</sheetData>" + tail)
    print(written)


if __name__ == "__main__":
    main()
