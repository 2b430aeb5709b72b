#!/usr/bin/python3
"""Reads the reports the embedded engine saved with openpyxl and compares each with its summary.

    workbook_summary.py SAVED_DIR SUMMARY_DIR DELIVERABLE...

SAVED_DIR holds <deliverable>/<report>.xlsx. SUMMARY_DIR holds <report>.json: what openpyxl
reads of the Linux engine's report for the same records (every sheet's non-empty or framed
cells as [value, type, number format, frame left/right/top/bottom], merged ranges, and each picture's anchor,
extent and image bytes' digest). Every summary of the deliverables named must have its report,
and every report its summary. With QX_UPDATE_EXPECTED=1 the summaries are rewritten from the
reports instead (done from the Linux run). Every report also goes through the strict check
(tests/support/strict_check) against the example template it was filled from: a finding the
template did not have counts as a difference. Exits 1 when anything differs or is missing.
"""

import datetime
import hashlib
import json
import os
import sys
from pathlib import Path

import openpyxl

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "support"))
import strict_check  # noqa: E402

EXAMPLES = HERE.parent.parent / "examples"


def value_of(value):
    if isinstance(value, (datetime.datetime, datetime.date, datetime.time)):
        return value.isoformat()
    return value


def frame_of(cell):
    border = cell.border
    return [side.style for side in (border.left, border.right, border.top, border.bottom)]


def marker(m):
    return [m.col, m.row, m.colOff, m.rowOff]


def picture_of(image):
    anchor = image.anchor
    found = {"anchor": type(anchor).__name__,
             "digest": hashlib.sha256(image._data()).hexdigest()}
    if hasattr(anchor, "_from"):
        found["from"] = marker(anchor._from)
    if getattr(anchor, "to", None) is not None:
        found["to"] = marker(anchor.to)
    if getattr(anchor, "ext", None) is not None:
        found["ext"] = [anchor.ext.width, anchor.ext.height]
    return found


def summary(path, deliverable):
    book = openpyxl.load_workbook(path)
    sheets = []
    for sheet in book.worksheets:
        cells = {}
        for row in sheet.iter_rows():
            for cell in row:
                frame = frame_of(cell)
                if cell.value is None and not any(frame):
                    continue
                cells[cell.coordinate] = [value_of(cell.value), cell.data_type,
                                          cell.number_format, frame]
        sheets.append({"name": sheet.title, "cells": cells,
                       "merged": sorted(str(r) for r in sheet.merged_cells.ranges),
                       "pictures": [picture_of(i) for i in sheet._images]})
    return {"deliverable": deliverable, "sheets": sheets}


def text_of(found):
    """The summary as JSON text, one line per cell, so that a change reads as a small diff."""
    def one(value):
        return json.dumps(value, ensure_ascii=False, sort_keys=True)
    sheets = []
    for sheet in found["sheets"]:
        cells = ",\n".join("   %s: %s" % (one(ref), one(cell))
                           for ref, cell in sorted(sheet["cells"].items()))
        sheets.append('  {"name": %s, "merged": %s, "pictures": %s,\n   "cells": {\n%s}}'
                      % (one(sheet["name"]), one(sheet["merged"]), one(sheet["pictures"]), cells))
    return '{"deliverable": %s, "sheets": [\n%s]}\n' % (one(found["deliverable"]),
                                                        ",\n".join(sheets))


def differences(expected, found):
    if [s["name"] for s in expected["sheets"]] != [s["name"] for s in found["sheets"]]:
        return ["sheets %s / %s" % ([s["name"] for s in expected["sheets"]],
                                    [s["name"] for s in found["sheets"]])]
    told = []
    for want, got in zip(expected["sheets"], found["sheets"]):
        for ref in sorted(set(want["cells"]) | set(got["cells"])):
            if want["cells"].get(ref) != got["cells"].get(ref):
                told.append("%s!%s: %s / %s" % (want["name"], ref, want["cells"].get(ref),
                                                got["cells"].get(ref)))
        for key in ("merged", "pictures"):
            if want[key] != got[key]:
                told.append("%s %s: %s / %s" % (want["name"], key, want[key], got[key]))
    return told


def main():
    saved, summaries, deliverables = Path(sys.argv[1]), Path(sys.argv[2]), sys.argv[3:]
    update = os.environ.get("QX_UPDATE_EXPECTED") == "1"
    reports = {p.stem: (p.parent.name, p) for d in deliverables
               for p in sorted((saved / d).glob("*.xlsx"))}
    failed = 0
    if update:
        summaries.mkdir(parents=True, exist_ok=True)
        for name, (deliverable, path) in reports.items():
            text = text_of(summary(path, deliverable))
            (summaries / (name + ".json")).write_text(text, encoding="utf-8")
            print("written  %s" % name)
    expected = {}
    for path in sorted(summaries.glob("*.json")):
        content = json.loads(path.read_text(encoding="utf-8"))
        if content["deliverable"] in deliverables:
            expected[path.stem] = content
    if not expected:
        print("no summaries for %s in %s" % (" ".join(deliverables), summaries))
        return 1
    for name in sorted(set(expected) | set(reports)):
        if name not in reports:
            print("MISSING  %s: no saved report in %s" % (name, saved))
            failed += 1
        elif name not in expected:
            print("MISSING  %s: no summary (QX_UPDATE_EXPECTED=1 on Linux writes it)" % name)
            failed += 1
        else:
            told = differences(expected[name], summary(reports[name][1], reports[name][0]))
            if told:
                failed += 1
                print("DIFFERS  %s:\n    %s" % (name, "\n    ".join(told[:20])))
            else:
                print("same     %s: cells, values, frames, pictures" % name)
    checker = strict_check.Checker(strict_check.Schemas())
    templates = {}
    for name, (deliverable, path) in sorted(reports.items()):
        template = EXAMPLES / ("vellum" if deliverable == "vellum_x" else deliverable) / "template.xlsx"
        if template not in templates:
            templates[template] = checker.check(str(template))
        new, _ = strict_check.introduced(templates[template], checker.check(str(path)))
        for finding in new:
            print("STRICT   %s" % finding.text(str(path)))
        failed += 1 if new else 0
    print("strict check: %d reports against %d templates" % (len(reports), len(templates)))
    print("%d reports compared, %d differ or are missing" % (len(expected), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
