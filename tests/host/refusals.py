#!/usr/bin/python3
"""What the sample host refuses before any exporter is called, one case a line: the description
(or the command line), the exit code and the first line of standard error, exactly. A case marked
"quoted" is a message docs/report-descriptions.md quotes: the page must hold its text as printed.
Nothing of a refused run may be left beside --output or in $TMPDIR."""
import argparse
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

failures = []
counted = [0]


def check(what, actual, expected):
    counted[0] += 1
    if actual != expected:
        failures.append("%s: %r, expected %r" % (what, actual, expected))


def write_json(path, description):
    with open(path, "w", encoding="utf-8") as out:
        json.dump(description, out, ensure_ascii=False)
    return path


def repackaged(source, target, content_type=None, extra=None):
    """A copy of the package `source` whose workbook part says `content_type`, with more entries."""
    with zipfile.ZipFile(source) as old, zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as new:
        for extra_name, extra_text in (extra or {}).items():
            new.writestr(extra_name, extra_text)
        for item in old.infolist():
            data = old.read(item.filename)
            if content_type and item.filename == "[Content_Types].xml":
                data = data.replace(b"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
                                    content_type.encode())
            new.writestr(item, data)
    return target


WEIGHTS = "1 (hairline), 2 (thin), -4138 (medium) or 4 (thick)"


def cases(w, examples):
    """(name, description or None, extra arguments, exit code, first line, quoted in the docs)."""
    t = os.path.join(examples, "kestrel", "template.xlsx")
    picture = os.path.join(examples, "picture.bmp")
    heron = {"exporter": "heron", "template": t, "picture": picture,
             "header": {"first_row": 5, "border_weight": 2, "column_spec": "ab",
                        "picture_cell1": "G2", "picture_cell2": "I8"},
             "rows": [{"field_a": "1"}, {"field_a": "2"}]}
    vellum = {"exporter": "vellum", "template": t,
              "header": {"start_row": 5, "border_weight": 2, "group_column": 2, "column_spec": "abl"},
              "rows": [{"group_key": "A", "time_value": 30}]}
    kestrel = {"exporter": "kestrel", "template": t,
               "header": {"start_row": 5, "border_weight": 2, "primary_spec": "ab"},
               "rows": [{"primary_b": "x"}]}
    tamarack = {"exporter": "tamarack", "template": t,
                "header": {"first_body_row": 5, "last_body_row": 9, "border_weight": 2,
                           "pagination": 1, "column_spec": "ae"},
                "rows": [{"field_a": "1", "field_e": "2"}, {"field_a": "2", "field_e": "3"}]}

    def header(base, drop=(), **fields):
        changed = dict(base, header={k: v for k, v in dict(base["header"], **fields).items() if k not in drop})
        return changed

    def rows(base, *records):
        return dict(base, rows=list(records))

    d = "{description}"
    return [
        # Fields the exporter cannot do without.
        ("heron without border_weight", header(heron, drop=["border_weight"]), [], 3,
         d + ": /header/border_weight (line 1): is required: " + WEIGHTS, True),
        ("kestrel border_weight 3", header(kestrel, border_weight=3), [], 3,
         d + ": /header/border_weight (line 1): is 3; the frame's weight is one of " + WEIGHTS, True),
        ("tamarack border_weight 0", header(tamarack, border_weight=0), [], 3,
         d + ": /header/border_weight (line 1): is 0; the frame's weight is one of " + WEIGHTS, False),
        ("heron first_row 0", header(heron, first_row=0), [], 3,
         d + ": /header/first_row (line 1): is 0; rows count from 1", True),
        ("vellum without start_row", header(vellum, drop=["start_row"]), [], 3,
         d + ": /header/start_row (line 1): is required: the row of the first table row (1 or more)", True),
        ("kestrel start_row -1", header(kestrel, start_row=-1), [], 3,
         d + ": /header/start_row (line 1): is -1; rows count from 1", False),
        ("tamarack without first_body_row", header(tamarack, drop=["first_body_row"]), [], 3,
         d + ": /header/first_body_row (line 1): is required: the first table row of a page (1 or more)", True),
        ("vellum without group_column", header(vellum, drop=["group_column"]), [], 3,
         d + ": /header/group_column (line 1): is required: the column of the group headings (1 or more)",
         True),
        ("heron picture cell no reference", header(heron, picture_cell1="G"), [], 3,
         d + ": /header/picture_cell1 (line 1): \"G\" is no cell reference; name one cell as B2 or $B$2", True),
        ("heron picture cell 0", header(heron, picture_cell2="I0"), [], 3,
         d + ": /header/picture_cell2 (line 1): \"I0\" is no cell reference; name one cell as B2 or $B$2", False),
        ("heron without picture_cell2", header(heron, drop=["picture_cell2"]), [], 3,
         d + ": /header/picture_cell2 (line 1): is required: heron places its picture up to this corner "
         "cell, as B2 or $B$2", False),
        ("vellum picture_flag without its cells", dict(header(vellum, picture_flag=1), picture=picture), [], 3,
         d + ": /header/picture_first_cell (line 1): is required: picture_flag places the picture from it, "
         "as B2 or $B$2", False),
        ("tamarack last_body_row above the first", header(tamarack, last_body_row=4), [], 3,
         d + ": /header/last_body_row (line 1): is 4, above first_body_row 5; a page holds the rows from "
         "first_body_row to last_body_row", True),
        ("tamarack pagination without last_body_row", header(tamarack, drop=["last_body_row"]), [], 3,
         d + ": /header/last_body_row (line 1): is required with pagination: the last table row of a page "
         "(first_body_row or more)", False),
        ("kestrel shown text without its row", header(kestrel, show_flag1=1, header_column1=1), [], 3,
         d + ": /header/header_row1 (line 1): is left out, but show_flag1 shows its text: rows and "
         "columns count from 1", True),
        ("vellum shown slot in column 0", header(vellum, slot3_show=1, slot3_row=2, slot3_column=0), [], 3,
         d + ": /header/slot3_column (line 1): is 0, but slot3_show shows its text: rows and columns "
         "count from 1", False),
        # Counts the host knows.
        ("heron row_count not the rows", header(heron, row_count=5), [], 3,
         d + ": /header/row_count (line 1): is 5, but \"rows\" holds 2 records; leave it out and the host "
         "counts them", True),
        ("tamarack record_count not the rows", header(tamarack, record_count=1), [], 3,
         d + ": /header/record_count (line 1): is 1, but \"rows\" holds 2 records; leave it out and the "
         "host counts them", False),
        ("vellum without rows", rows(vellum), [], 3,
         d + ": /rows (line 1): vellum needs at least one row: with an empty row list it returns at once "
         "and fills nothing (vellum_x fills the header alone)", True),
        # Texts.
        ("a NUL in a text", rows(kestrel, {"primary_b": "a\u0000b"}), [], 3,
         d + ": /rows/0/primary_b (line 1): holds a NUL character (\\u0000) at character 2; a text in a "
         "record ends at its first NUL, so what follows would be lost", True),
        ("a character outside GBK", rows(kestrel, {"primary_b": "型号\U0001F600"}), [], 3,
         d + ": /rows/0/primary_b (line 1): holds U+1F600 (\U0001F600) at character 3, which code page 936 "
         "cannot hold", True),
        ("a character outside GBK in the header", header(tamarack, header_text1="x\u20a9"), [], 3,
         d + ": /header/header_text1 (line 1): holds U+20A9 (\u20a9) at character 2, which code page 936 "
         "cannot hold", False),
        ("a text longer than a vellum cell", rows(vellum, {"group_key": "A", "text_3": "长" * 150}), [], 3,
         d + ": /rows/0/text_3 (line 1): is 300 bytes in GBK; vellum and vellum_x write at most 255 bytes of "
         "a text into a cell", True),
        ("a text longer than a kestrel cell", rows(kestrel, {"primary_amp": "x" * 256}), [], 3,
         d + ": /rows/0/primary_amp (line 1): is 256 bytes in GBK; kestrel writes at most 255 bytes of a "
         "text into a cell", False),
        # The description file itself.
        ("REPORT missing", None, ["{work}/gone.json"], 3, "{work}/gone.json: no such file", False),
        ("REPORT a folder", None, ["{work}"], 3, "{work}: is a folder, not a report description", False),
        # Templates that are no workbook the exporters fill.
        ("an .xls template", dict(kestrel, template="{work}/old.xls"), [], 4,
         "/template {work}/old.xls: is an Excel 97-2003 workbook (.xls), which the exporters cannot fill; "
         "save it as .xlsx (or .xlsm, .xltx, .xltm)", True),
        ("an .ods template", dict(kestrel, template="{work}/calc.ods"), [], 4,
         "/template {work}/calc.ods: is an OpenDocument spreadsheet (.ods), which the exporters cannot "
         "fill; save it as .xlsx (or .xlsm, .xltx, .xltm)", True),
        ("a zip that is no workbook", dict(kestrel, template="{work}/plain.zip"), [], 4,
         "/template {work}/plain.zip: is a zip file but no workbook: its [Content_Types].xml names no "
         "workbook part", False),
        ("a missing row picture", dict(tamarack, rows=[{"field_a": "1", "picture_path": "gone.png"}]), [], 4,
         "/rows/0/picture_path {work}/gone.png: no such file", True),
        # The command line and the folders it names.
        ("--output .xls", kestrel, ["--output", "{work}/out.xls"], 2,
         "--output {work}/out.xls: a filled workbook ends in .xlsx, .xlsm, .xltx or .xltm", True),
        ("an option twice", kestrel, ["--conf", "{work}", "--conf={work}"], 2, "--conf is given twice", False),
        ("a macro template into .xlsx", dict(kestrel, template="{work}/macros.xlsm"), [], 2,
         "--output {work}/out.xlsx: the template {work}/macros.xlsm holds macros (a .xlsm package); name "
         "the filled workbook .xlsm or .xltm", False),
        ("a plain template into .xlsm", kestrel, ["--output", "{work}/out.xlsm"], 2,
         "--output {work}/out.xlsm: the template %s holds no macros (a .xlsx package); name the filled "
         "workbook .xlsx or .xltx" % t, False),
        ("--conf missing", kestrel, ["--conf", "{work}/nowhere"], 4, "--conf {work}/nowhere: no such folder", True),
        ("QX_CONF_DIR missing", kestrel, ["QX_CONF_DIR={work}/nowhere"], 4,
         "QX_CONF_DIR {work}/nowhere: no such folder", False),
        ("--output in a missing folder", kestrel, ["--output", "{work}/nowhere/out.xlsx"], 4,
         "--output {work}/nowhere/out.xlsx: its folder {work}/nowhere does not exist", False),
        ("--wait not a number", kestrel, ["--wait", "soon"], 2,
         "--wait takes a number of seconds (0 or more), not \"soon\"", False),
        # Accepted, with a warning for what takes no column.
        ("characters that take no column", header(heron, column_spec="aX-b·"), [], 0,
         "warning: " + d + ": /header/column_spec (line 1): \"X\", \"-\", U+00B7 (·) take no column: heron "
         "passes over them (its letters: abcdw)", True),
        ("vellum_x needs no group_column", dict(header(vellum, drop=["group_column"]), exporter="vellum_x"), [],
         0, "", False),
        ("vellum_x fills the header without rows", dict(rows(vellum), exporter="vellum_x"), [], 0, "", False),
        ("--output=FILE and -", kestrel, ["--output={work}/out.xlsx"], 0, "", False),
    ]


def prepare(work, examples):
    t = os.path.join(examples, "kestrel", "template.xlsx")
    open(os.path.join(work, "old.xls"), "wb").write(b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 504)
    repackaged(t, os.path.join(work, "calc.ods"),
               extra={"mimetype": "application/vnd.oasis.opendocument.spreadsheet"})
    with zipfile.ZipFile(os.path.join(work, "plain.zip"), "w") as plain:
        plain.writestr("notes.txt", "no workbook")
    repackaged(t, os.path.join(work, "macros.xlsm"), "application/vnd.ms-excel.sheet.macroEnabled.main+xml")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--docs", required=True)
    args = parser.parse_args()
    page = " ".join(open(args.docs, encoding="utf-8").read().split())  # as it renders
    work = tempfile.mkdtemp(prefix="qx-refusals-")
    tmp = os.path.join(work, "tmp")
    os.makedirs(tmp)
    try:
        prepare(work, os.path.abspath(args.examples))
        env = {k: v for k, v in os.environ.items() if k not in ("QX_CONF_DIR", "QX_MESSAGE_LOG")}
        env["TMPDIR"] = tmp
        for number, (name, description, extra, code, first, quoted) in enumerate(
                cases(work, os.path.abspath(args.examples))):
            fill = lambda text: text.replace("{work}", work)
            path = os.path.join(work, "case%d.json" % number)
            if description is not None:
                write_json(path, json.loads(fill(json.dumps(description))))
            run_env = dict(env)
            command = []
            for arg in extra:
                if arg.startswith("QX_CONF_DIR="):
                    run_env["QX_CONF_DIR"] = fill(arg.split("=", 1)[1])
                else:
                    command.append(fill(arg))
            if description is not None:
                command.insert(0, path)
            if not any(a == "--output" or a.startswith("--output=") for a in command):
                command += ["--output", os.path.join(work, "out.xlsx")]
            stdin = None
            if name.endswith("and -"):
                stdin = open(path, "rb").read()
                command[0] = "-"
            run = subprocess.run([args.host] + command, env=run_env, capture_output=True, timeout=300,
                                 input=stdin)
            err = run.stderr.decode("utf-8", "replace")
            lines = err.splitlines()
            expected = ("qx_host: " + fill(first).replace("{description}", path)) if first else None
            check("%s: exit code (%s)" % (name, err.strip()), run.returncode, code)
            check("%s: first line" % name, lines[0] if lines else None, expected)
            if quoted and expected:
                # The docs quote the message without the paths of one machine.
                said = first.split("): ", 1)[-1] if "(line" in first else first.split(": ", 1)[-1]
                check("%s: quoted in the docs without paths" % name, "{" in said, False)
                check("%s: quoted in the docs" % name, " ".join(said.split()) in page, True)
            left = [f for f in os.listdir(work) if f.startswith(".")] + os.listdir(tmp)
            check("%s: nothing left behind" % name, left, [])
            if code == 0:
                os.remove(os.path.join(work, "out.xlsx"))
            else:
                check("%s: no --output" % name, os.path.exists(os.path.join(work, "out.xlsx")), False)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAIL " + failure)
    print("%d passed, %d failed" % (counted[0] - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
