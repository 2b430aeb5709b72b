#!/usr/bin/python3
"""Fills the same reports with two builds and says whether the workbooks read back the same.

    scripts/compare_fills.py BUILD_A BUILD_B [--corpus DIR] [--work DIR]

Each build is a build folder holding host/qx_host (a release build). The reports are every
example description in examples/, and every regular workbook of the corpus filled by heron as a
template. For every pair of outputs: each zip entry's bytes are compared; where any differs, openpyxl
reads both and compares every cell's value and style (font, border, fill, number format, alignment,
protection), merged cells, and each picture's anchor and bytes. A report that one build refuses
must be refused by the other alike (same exit code). Exits 1 when anything differs.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

import openpyxl

ROOT = Path(__file__).resolve().parent.parent


def heron_description(template, picture):
    rows = [{"field_a": str(i), "field_b": "测点 %d 左幅" % i, "field_c": "%d.5" % i,
             "field_d": "合格" if i % 3 else "需复查"} for i in range(1, 41)]
    return {"exporter": "heron", "template": str(template), "picture": str(picture),
            "header": {"text1_flag": 1, "text1_row": 2990, "text1_col": 1, "text1": "工程: 比较",
                       "first_row": 3000, "border_weight": 2, "column_spec": "abcwd",
                       "picture_cell1": "H2990", "picture_cell2": "J3000"},
            "rows": rows}


def reports(work, corpus):
    """(name, description file) of every report to fill."""
    found = []
    for description in sorted(ROOT.glob("examples/*/report*.json")):
        found.append((description.parent.name + "/" + description.name, description))
    if corpus:
        for book in sorted(Path(corpus).glob("*.xls[xm]")):
            if book.name.startswith(("broken-", "odd-")):
                continue
            description = work / ("corpus-" + book.name + ".json")
            description.write_text(json.dumps(
                heron_description(book, ROOT / "examples" / "picture.bmp"), ensure_ascii=False))
            found.append(("corpus/" + book.name, description))
    return found


def fill(build, description, output, conf):
    if output.exists():
        output.unlink()
    shutil.rmtree(conf, ignore_errors=True)
    conf.mkdir(parents=True)
    run = subprocess.run([str(Path(build) / "host" / "qx_host"), str(description), "--output",
                          str(output), "--conf", str(conf)], capture_output=True, text=True)
    return run.returncode


def entries(path):
    with zipfile.ZipFile(path) as z:
        return {info.filename: z.read(info) for info in z.infolist()}


def style_of(cell):
    return tuple(repr(s) for s in (cell.font, cell.border, cell.fill, cell.number_format,
                                   cell.alignment, cell.protection))


def picture_of(image):
    anchor = image.anchor
    where = repr(anchor._from.__dict__) if hasattr(anchor, "_from") else repr(anchor)
    ext = repr(anchor.ext.__dict__) if getattr(anchor, "ext", None) is not None else ""
    return (where, ext, image._data())


def differences(a, b):
    found = []
    ea, eb = entries(a), entries(b)
    for name in sorted(set(ea) | set(eb)):
        if ea.get(name) != eb.get(name):
            found.append("part %s differs" % name)
    if not found:
        return []  # the same bytes read back the same with any reader
    keep_vba = a.suffix == ".xlsm"
    try:
        wa = openpyxl.load_workbook(a, keep_vba=keep_vba)
        wb = openpyxl.load_workbook(b, keep_vba=keep_vba)
    except Exception as error:  # openpyxl fails on some real-world packages
        return found + ["openpyxl cannot read them: %s: %s" % (type(error).__name__, error)]
    if wa.sheetnames != wb.sheetnames:
        return found + ["sheet names differ"]
    for name in wa.sheetnames:
        sa, sb = wa[name], wb[name]
        if not hasattr(sa, "iter_rows"):
            continue
        cells_a = {(c.row, c.column): c for row in sa.iter_rows() for c in row}
        cells_b = {(c.row, c.column): c for row in sb.iter_rows() for c in row}
        for key in sorted(set(cells_a) | set(cells_b)):
            ca, cb = cells_a.get(key), cells_b.get(key)
            va = (ca.value, style_of(ca)) if ca else (None, None)
            vb = (cb.value, style_of(cb)) if cb else (None, None)
            if va != vb:
                found.append("%s!%s: %r / %r" % (name, key, va[0], vb[0]))
                if len(found) > 20:
                    return found
        if sorted(map(str, sa.merged_cells.ranges)) != sorted(map(str, sb.merged_cells.ranges)):
            found.append("%s: merged cells differ" % name)
        if [picture_of(i) for i in sa._images] != [picture_of(i) for i in sb._images]:
            found.append("%s: pictures differ" % name)
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_a")
    parser.add_argument("build_b")
    parser.add_argument("--corpus", default=os.environ.get(
        "QX_CORPUS_DIR", str(ROOT.parent / "shared" / "corpus")) + "/xlsx")
    parser.add_argument("--work")
    args = parser.parse_args()
    work = Path(args.work or tempfile.mkdtemp(prefix="qx-compare-"))
    work.mkdir(parents=True, exist_ok=True)
    failed = 0
    compared = 0
    # The descriptions name their templates from the work folder: a relative corpus given on
    # the command line is made absolute first.
    corpus = Path(args.corpus).resolve()
    for name, description in reports(work, corpus if corpus.is_dir() else None):
        suffix = ".xlsm" if name.endswith(".xlsm") else ".xlsx"
        out = [work / ("a" + suffix), work / ("b" + suffix)]
        codes = [fill(build, description, o, work / "conf") for build, o in
                 zip([args.build_a, args.build_b], out)]
        if codes[0] != codes[1]:
            print("DIFFERS  %s: exit codes %d / %d" % (name, codes[0], codes[1]))
            failed += 1
            continue
        if codes[0] != 0:
            print("same     %s: refused alike (exit %d)" % (name, codes[0]))
            continue
        found = differences(out[0], out[1])
        compared += 1
        if found:
            failed += 1
            print("DIFFERS  %s:\n    %s" % (name, "\n    ".join(found)))
        else:
            print("same     %s: every part byte for byte, cells, styles, pictures" % name)
    print("%d filled reports compared, %d differ" % (compared, failed))
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
