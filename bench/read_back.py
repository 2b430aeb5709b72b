#!/usr/bin/python3
"""Reads a filled large report back with two readers we did not write, openpyxl and LibreOffice,
and says whether they agree with each other and with its template.

    read_back.py FILLED.xlsx [TEMPLATE.xlsx]

openpyxl (read-only, streaming) reads the first sheet of both workbooks: every cell of the
template must come back with its value, and the rows past the template's last are counted.
LibreOffice (headless) turns the filled sheet into CSV, which must hold the same rows and, cell
by cell, the same values as openpyxl read (numbers compared as numbers). Prints what it read
and the time each reader took; exits 1 on any difference, naming the first few.
"""

import csv
import datetime
import itertools
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import openpyxl
from openpyxl.utils.datetime import from_excel

SHOWN = 5


def rows_of(path):
    """(row number, [values]) of the first sheet's non-empty rows, streamed."""
    book = openpyxl.load_workbook(path, read_only=True, data_only=False)
    for row in book.worksheets[0].iter_rows():
        cells = [c for c in row if hasattr(c, "row") and c.value is not None]
        if cells:
            line = [None] * max(c.column for c in cells)
            for c in cells:
                line[c.column - 1] = c.value
            yield cells[0].row, line
    book.close()


def trimmed(values):
    values = list(values)
    while values and values[-1] in (None, ""):
        values.pop()
    return values


# How LibreOffice writes a date or a time into CSV (as en-US shows it).
TIME_FORMATS = ("%I:%M:%S %p", "%H:%M:%S", "%m/%d/%Y %I:%M:%S %p", "%m/%d/%Y %H:%M:%S",
                "%m/%d/%y", "%m/%d/%Y", "%Y-%m-%d", "%Y-%m-%d %H:%M:%S")


def same_moment(ours, text):
    for form in TIME_FORMATS:
        try:
            theirs = datetime.datetime.strptime(text, form)
        except ValueError:
            continue
        if isinstance(ours, datetime.datetime):
            return theirs == ours.replace(microsecond=0)
        if isinstance(ours, datetime.date):
            return theirs.date() == ours
        return theirs.time() == ours.replace(microsecond=0)
    return False


def same_duration(ours, text):
    """An elapsed time ([h]:mm) comes into CSV as LibreOffice shows it, "671:34:00", and from
    openpyxl as the date or the length of time of that many days."""
    match = re.fullmatch(r"(-?)(\d+):(\d\d)(?::(\d\d))?", text)
    if not match:
        return False
    sign = -1 if match.group(1) else 1
    seconds = sign * (int(match.group(2)) * 3600 + int(match.group(3)) * 60 +
                      int(match.group(4) or 0))
    if isinstance(ours, datetime.timedelta):
        return abs(ours.total_seconds() - seconds) < 1
    return isinstance(ours, datetime.datetime) and from_excel(seconds / 86400) == \
        ours.replace(microsecond=0)


def same_value(ours, text):
    if isinstance(ours, datetime.timedelta):
        return same_duration(ours, text)
    if isinstance(ours, (datetime.date, datetime.time)):
        return same_moment(ours, text) or same_duration(ours, text)
    if ours is None:
        return text == ""
    if isinstance(ours, bool):
        return text.upper() == str(ours).upper()
    if isinstance(ours, (int, float)):
        # A percentage cell comes into CSV as LibreOffice shows it: "9%" for 0.09.
        scale = 100.0 if text.endswith("%") else 1.0
        try:
            theirs = float(text.rstrip("%").replace(",", "")) / scale
        except ValueError:
            return False
        # As shown, so as exact as the shown digits.
        tolerance = 0.5 / scale * 10 ** -len(text.rstrip("%").partition(".")[2]) if scale > 1 else 0
        return abs(theirs - ours) <= max(tolerance, 1e-9 * max(1.0, abs(ours)))
    return str(ours) == text


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    filled, template = sys.argv[1], sys.argv[2] if len(sys.argv) == 3 else None
    problems = []

    started = time.monotonic()
    filled_rows = dict(rows_of(filled))
    cells = sum(sum(v is not None for v in line) for line in filled_rows.values())
    print(f"openpyxl: {len(filled_rows)} rows, {cells} cells in {time.monotonic() - started:.1f} s")

    if template:
        started = time.monotonic()
        last = 0
        kept = 0
        for number, line in rows_of(template):
            last = number
            got = filled_rows.get(number, [])
            for column, value in enumerate(line):
                if value is None:
                    continue
                theirs = got[column] if column < len(got) else None
                if theirs != value:
                    problems.append(f"template cell row {number} column {column + 1}: "
                                    f"{value!r} came back as {theirs!r}")
                else:
                    kept += 1
        added = sum(1 for number in filled_rows if number > last)
        print(f"template: {kept} cells came back as they were; {added} rows below its last "
              f"row ({last}) ({time.monotonic() - started:.1f} s)")

    office = shutil.which("soffice") or shutil.which("libreoffice")
    if office is None:
        print("LibreOffice: not run: soffice is not installed (scripts/bootstrap.sh --tests)")
    else:
        started = time.monotonic()
        with tempfile.TemporaryDirectory() as folder:
            profile = "file://" + os.path.join(folder, "profile")
            subprocess.run([office, f"-env:UserInstallation={profile}", "--headless",
                            "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false",
                            "--outdir", folder, filled], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            name = os.path.splitext(os.path.basename(filled))[0] + ".csv"
            with open(os.path.join(folder, name), newline="", encoding="utf-8") as f:
                office_rows = {n: trimmed(r) for n, r in enumerate(csv.reader(f), start=1)
                               if any(r)}
        print(f"LibreOffice: {len(office_rows)} rows in {time.monotonic() - started:.1f} s")
        for number in sorted(set(filled_rows) | set(office_rows)):
            ours = trimmed("" if v is None else v for v in filled_rows.get(number, []))
            theirs = office_rows.get(number, [])
            for column, (a, b) in enumerate(itertools.zip_longest(ours, theirs, fillvalue="")):
                if not same_value(None if a == "" else a, b):
                    problems.append(f"row {number} column {column + 1}: openpyxl {a!r}, "
                                    f"LibreOffice {b!r}")
                    break

    for line in problems[:SHOWN]:
        print("  differs:", line)
    if problems:
        print(f"read back: {len(problems)} difference(s)")
        sys.exit(1)
    print("read back: both readers agree" + (" and the template is whole" if template else ""))


if __name__ == "__main__":
    main()
