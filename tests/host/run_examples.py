#!/usr/bin/python3
"""The sample host as a user and a script meet it, with the real exporters on the embedded engine;
every filled workbook is read back with openpyxl. Groups (--checks):
  examples       every example report, a few cells of each, and the strict check of each against
                 its template (schemas after Markup Compatibility, and the rules they cannot state)
  exit-codes     each exit code, what is printed for it, and that --output is only ever a report
  shared-folder  runs sharing one configuration folder take turns; the private default folder
  installed      an installation moved away from where it was installed, with no build path
  typed-texts    texts a user would type (numbers, percentages, times, booleans, errors, an
                 apostrophe) through heron, read back by openpyxl and summed by LibreOffice
  files          modes, links, package kinds, standard input, the summary, the log, leftovers
  signals        200,000-row runs stopped by signals and killed outright leave nothing behind
  progress       the progress bar on a terminal, and none with --quiet"""
import argparse
import csv
import datetime
import fcntl
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import zipfile

from openpyxl import Workbook, load_workbook

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
import strict_check  # noqa: E402

failures = []
passed = []


def check(what, actual, expected):
    if actual != expected:
        failures.append("%s: %r, expected %r" % (what, actual, expected))


def hm(value):
    """A time cell as the text it shows ("2:05"), whichever way the reader hands it over."""
    if isinstance(value, datetime.time):
        return "%d:%02d" % (value.hour, value.minute)
    if isinstance(value, datetime.timedelta):
        minutes = round(value.total_seconds() / 60)
        return "%d:%02d" % (minutes // 60, minutes % 60)
    if isinstance(value, datetime.datetime):
        return "%d:%02d" % (value.hour + 24 * (value.day - 1 if value.year == 1899 else 0), value.minute)
    if isinstance(value, float):
        minutes = round(value * 24 * 60)
        return "%d:%02d" % (minutes // 60, minutes % 60)
    return value


def framed(ws, ref):
    side = ws[ref].border.left
    return side is not None and side.style is not None


def heron(wb):
    ws = wb.active
    check("heron A2", ws["A2"].value, "工程: 示例大桥 K0+000 至 K1+200")
    check("heron B5", ws["B5"].value, "K0+100 左幅")
    check("heron D7", ws["D7"].value, "需复查")
    check("heron A10", ws["A10"].value, 6)
    check("heron D10 framed", framed(ws, "D10"), True)
    check("heron pictures", len(ws._images), 1)


def vellum(wb):
    ws = wb.active
    check("vellum B5 heading", ws["B5"].value, "一号梁")
    check("vellum B9 label", ws["B9"].value, "总计:")
    check("vellum C9 total", hm(ws["C9"].value), "2:05")
    check("vellum B10 heading", ws["B10"].value, "二号梁")
    check("vellum A18", ws["A18"].value, 9)
    check("vellum C19 total", hm(ws["C19"].value), "0:40")
    check("vellum pictures", len(ws._images), 1)


def vellum_x(wb):
    ws = wb.active
    check("vellum_x B5", ws["B5"].value, "一号梁")
    check("vellum_x B8 label", ws["B8"].value, "总计:")
    check("vellum_x B9", ws["B9"].value, "二号梁")
    check("vellum_x A15", ws["A15"].value, 9)
    check("vellum_x C16 total", hm(ws["C16"].value), "0:40")


def kestrel(wb):
    ws = wb.active
    check("kestrel A5", ws["A5"].value, 1)
    check("kestrel B5", ws["B5"].value, "型号-01")
    check("kestrel C5", ws["C5"].value, -25)
    check("kestrel D5", ws["D5"].value, "备注 1")
    check("kestrel E7 marker", ws["E7"].value, "是")
    check("kestrel K7", ws["K7"].value, "完")
    check("kestrel E6 empty", ws["E6"].value, None)
    check("kestrel K10 framed", framed(ws, "K10"), True)


def tamarack(wb):
    first, second, third = wb.worksheets
    check("tamarack sheet1 A5", first["A5"].value, 1)
    check("tamarack sheet1 C10 subtotal", first["C10"].value, 30)
    check("tamarack sheet1 E10 subtotal", first["E10"].value, 16.875)
    check("tamarack sheet2 A2 header again", second["A2"].value, "结果汇总")
    check("tamarack sheet2 A5", second["A5"].value, 6)
    check("tamarack sheet3 C8 grand total", third["C8"].value, 156)
    check("tamarack sheet3 E8 grand total", third["E8"].value, 87.75)
    check("tamarack pictures", [len(ws._images) for ws in (first, second, third)], [5, 5, 2])


CHECKS = {"heron/report.json": ("heron", heron), "vellum/report.json": ("vellum", vellum),
          "vellum/report_x.json": ("vellum_x", vellum_x),
          "kestrel/report.json": ("kestrel", kestrel), "tamarack/report.json": ("tamarack", tamarack)}



def run_host(host, args, env=None, **kw):
    return subprocess.run([host] + args, env=env or dict(os.environ), capture_output=True, text=True,
                          timeout=300, **kw)


def strictly_checked(saved):
    """Every (template, report) pair through the strict check: a finding the template did not
    have fails."""
    checker = strict_check.Checker(strict_check.Schemas())
    templates = {}
    for template, report in saved:
        if template not in templates:
            templates[template] = checker.check(template)
        new, _ = strict_check.introduced(templates[template], checker.check(report))
        for finding in new:
            failures.append("strict check: " + finding.text(report))
    print("strict check: %d reports against %d templates" % (len(saved), len(templates)))


def examples(args, work):
    conf = os.path.join(work, "conf")
    os.makedirs(conf)  # a named folder must exist; the host makes only its private one
    env = dict(os.environ, QX_MESSAGE_LOG=os.path.join(work, "messages.log"))
    saved = []
    for report, (name, checker) in CHECKS.items():
        output = os.path.join(work, name + ".xlsx")
        run = run_host(args.host, [os.path.join(args.examples, report), "--output", output,
                                   "--conf", conf], env)
        if run.returncode != 0:
            failures.append("%s: host exited %d: %s" % (report, run.returncode, run.stderr.strip()))
            continue
        before = len(failures)
        checker(load_workbook(output))
        saved.append((os.path.join(args.examples, os.path.dirname(report), "template.xlsx"), output))
        if len(failures) == before:
            passed.append(report)
            print("ok  " + run.stdout.strip())
    strictly_checked(saved)
    if os.path.exists(env["QX_MESSAGE_LOG"]):
        shown = open(env["QX_MESSAGE_LOG"], encoding="utf-8").read().strip()
        check("messages shown", shown, "")
    # The host put the installed language file into the folder for tamarack.
    check("language file provided", open(os.path.join(conf, "lang", "pinebrook_exe.txt"), "rb").read(),
          open(args.lang, "rb").read())


def write_description(folder, name, description):
    path = os.path.join(folder, name)
    with open(path, "w", encoding="utf-8") as out:
        json.dump(description, out, ensure_ascii=False)
    return path


def workbook_with(path, cells, sheets=1):
    wb = Workbook()
    for _ in range(sheets - 1):
        wb.create_sheet()
    for ref, value in cells.items():
        wb.active[ref] = value
    wb.save(path)
    return path


def exit_codes(args, work):
    """One case a line: the command, the exit code, a text standard error must hold, and texts it
    must not. --output starts as an old file that only a filled report may replace."""
    ex = os.path.abspath(args.examples)
    t = workbook_with(os.path.join(work, "t.xlsx"), {"A1": "title"})
    taken = workbook_with(os.path.join(work, "taken.xlsx"), {"A1": "title", "A5": "taken"})
    one_sheet = workbook_with(os.path.join(work, "one_sheet.xlsx"), {})
    open(os.path.join(work, "text.xlsx"), "w").write("not a workbook\n")
    open(os.path.join(work, "notes.bmp"), "w").write("no picture\n")
    os.makedirs(os.path.join(work, "folder.xlsx"))
    os.makedirs(os.path.join(work, "empty-lib"))
    open(os.path.join(work, "a-file"), "w").write("x")
    own_lang = os.path.join(work, "own-lang")
    os.makedirs(os.path.join(own_lang, "lang"))
    open(os.path.join(own_lang, "lang", "pinebrook_exe.txt"), "wb").write(b"excel_fil_12:\xba\xcf\xbc\xc6\n")
    # Stand-ins for heron that fail without a message: one exits 2 as heron does when the
    # spreadsheet server failed mid-run, one exits 0 and saves nothing.
    for folder, body in (("heron-exits-2", "exit 2"), ("heron-saves-nothing", "exit 0")):
        os.makedirs(os.path.join(work, folder))
        with open(os.path.join(work, folder, "heron"), "w") as script:
            script.write("#!/bin/sh\n%s\n" % body)
        os.chmod(os.path.join(work, folder, "heron"), 0o755)
    heron = json.load(open(os.path.join(ex, "heron", "report.json"), encoding="utf-8"))
    picture = os.path.join(ex, "picture.bmp")

    def described(name, base, **changes):
        description = dict(base, template=changes.pop("template", t))
        description.update(changes)
        return write_description(work, name, description)

    kestrel = {"exporter": "kestrel", "header": {"primary_spec": "ab", "start_row": 5, "border_weight": 2},
               "rows": [{"primary_b": "x"}]}
    tamarack = {"exporter": "tamarack", "header": {"column_spec": "ae", "first_body_row": 5,
                                                   "last_body_row": 5, "border_weight": 2, "pagination": 1},
                "rows": [{"field_a": "1", "field_e": "2"}, {"field_a": "2", "field_e": "3"}]}
    good = described("good.json", kestrel)
    heron_picture = dict(heron, picture=picture)
    cases = [
        # command line
        ([], 2, "name the report description", []),
        ([good, "--colour", "red"], 2, "unknown option --colour", []),
        ([good], 2, "--output", []),
        # the description
        ([described("unknown.json", kestrel, header={"primary_spek": "ab"})], 3,
         "/header/primary_spek (line 1): no field of that name in QX_DUAL_SPEC_HEADER", []),
        ([described("nopicture.json", {k: v for k, v in heron.items() if k != "picture"})], 3,
         "/picture (line 1): heron always places a picture", []),
        ([described("badrow.json", kestrel, rows=[{"primary_b": "x"}, {"primary_b": 5}])], 3,
         "/rows/1/primary_b (line 1): must be a text", []),
        # files the user named
        ([described("missing.json", kestrel, template=os.path.join(work, "gone.xlsx"))], 4,
         "/template %s: no such file" % os.path.join(work, "gone.xlsx"), ["filesystem error"]),
        ([described("folder.json", kestrel, template=os.path.join(work, "folder.xlsx"))], 4,
         "is a folder, not a file", ["Invalid argument"]),
        ([described("text.json", kestrel, template=os.path.join(work, "text.xlsx"))], 4,
         "/template %s: is no .xlsx workbook" % os.path.join(work, "text.xlsx"), []),
        ([described("badpicture.json", heron_picture, template=t, picture=os.path.join(work, "notes.bmp"))], 4,
         "/picture %s: is no picture" % os.path.join(work, "notes.bmp"), []),
        ([described("rowpicture.json", tamarack, rows=[{"picture_path": "gone.png"}])], 4,
         "/rows/0/picture_path %s: no such file" % os.path.join(work, "gone.png"), []),
        # a refused row field is told only after the files: the rows were read before them
        ([described("gone-and-badrow.json", kestrel, template=os.path.join(work, "gone.xlsx"),
                    rows=[{"primary_b": 5}])], 4,
         "/template %s: no such file" % os.path.join(work, "gone.xlsx"), ["/rows/0"]),
        ([described("rowpicture-badrow.json", tamarack,
                    rows=[{"field_a": 5}, {"picture_path": "gone.png"}])], 4,
         "/rows/1/picture_path %s: no such file" % os.path.join(work, "gone.png"), ["/rows/0"]),
        ([good, "--output", t], 4, "--output %s: is the template itself" % t, ["File exists"]),
        ([good, "--output", os.path.join(work, "folder.xlsx")], 4, "is a folder", []),
        ([good, "--output", os.path.join(work, "\U0001F600.xlsx")], 4, "--output", ["/header/template_path"]),
        ([good, "--output", os.path.join(work, "x" * 300 + ".xlsx")], 4, "is too long", []),
        ([good, "--conf", os.path.join(work, "a-file")], 4, "--conf %s: is not a folder" % os.path.join(work, "a-file"), []),
        ([good, "--lib-dir", os.path.join(work, "empty-lib")], 4,
         "--lib-dir %s: holds no libkestrel.so" % os.path.join(work, "empty-lib"), []),
        ([described("badrow-lib.json", kestrel, rows=[{"primary_b": 5}]), "--lib-dir", os.path.join(work, "empty-lib")], 4,
         "--lib-dir %s: holds no libkestrel.so" % os.path.join(work, "empty-lib"), ["/rows/0"]),
        # the exporter refused or failed: its messages, naming the user's files
        ([described("notempty.json", heron_picture, template=taken, header=dict(heron["header"], first_row=5))], 5,
         taken, [".qx-", "did not fill the report; it saved nothing"]),
        ([described("heron2.json", heron_picture), "--lib-dir", os.path.join(work, "heron-exits-2")], 5,
         "heron did not fill the report (heron exited with 2)", []),
        ([described("heron0.json", heron_picture), "--lib-dir", os.path.join(work, "heron-saves-nothing")], 5,
         "heron did not fill the report; it saved nothing", []),
        ([described("weight.json", kestrel, header=dict(kestrel["header"], border_weight=3))], 3,
         "/header/border_weight (line 1): is 3", [".qx-", "did not fill"]),
        ([described("pages.json", tamarack, template=one_sheet)], 5, "it showed 1 message(s)", []),
        ([described("ownlang.json", dict(tamarack, header=dict(tamarack["header"], pagination=0))),
          "--conf", own_lang], 5, "excel_fil_11", []),
    ]
    for command, code, said, unsaid in cases:
        output = os.path.join(work, "out.xlsx")
        full = list(command)
        if command and "--output" not in command and command != [good]:
            full += ["--output", output]
        open(output, "wb").write(b"old")
        run = run_host(args.host, full)
        what = " ".join(os.path.basename(c) for c in command) or "(no arguments)"
        check("%s: exit code (%s)" % (what, run.stderr.strip()), run.returncode, code)
        check("%s: says %r" % (what, said), said in run.stderr, True)
        for text in unsaid:
            check("%s: does not say %r" % (what, text), text in run.stderr, False)
        check("%s: old --output kept" % what, open(output, "rb").read()[:8], b"old")
        check("%s: no working copy left" % what,
              [f for f in os.listdir(work) if f.startswith(".")], [])
    # A TMPDIR that is no folder leaves no room for the private configuration folder.
    env = {k: v for k, v in os.environ.items() if k != "QX_CONF_DIR"}
    env["TMPDIR"] = os.path.join(work, "a-file")
    output = os.path.join(work, "tmpdir.xlsx")
    run = run_host(args.host, [good, "--output", output], env)
    check("TMPDIR a file: exit code", run.returncode, 4)
    check("TMPDIR a file: says so", "TMPDIR %s: is not a folder" % env["TMPDIR"] in run.stderr, True)
    check("TMPDIR a file: no --output", os.path.exists(output), False)
    # The user's own language file is used, never replaced.
    check("own language file kept", open(os.path.join(own_lang, "lang", "pinebrook_exe.txt"), "rb").read(),
          b"excel_fil_12:\xba\xcf\xbc\xc6\n")

    help_run = run_host(args.host, ["--help"])
    check("--help exit code", help_run.returncode, 0)
    for text in ("--output", "--conf", "--lib-dir", "--version", "exit codes", "QX_MESSAGE_LOG", "example:"):
        check("--help tells %s" % text, text in help_run.stdout, True)
    for code in range(6):
        check("--help lists exit code %d" % code, ("\n  %d  " % code) in help_run.stdout, True)
    version = run_host(args.host, ["--version"])
    check("--version", (version.returncode, version.stdout.startswith("qx_host ")), (0, True))

    ok = run_host(args.host, [good, "--output", os.path.join(work, "out.xlsx")])
    check("filled: exit code (%s)" % ok.stderr.strip(), ok.returncode, 0)
    check("filled: the line", ok.stdout.split("\t")[:2], ["kestrel", "1"])
    check("filled: --output is the report", load_workbook(os.path.join(work, "out.xlsx")).active["B5"].value, "x")
    check("filled: quiet when standard error is no terminal", ok.stderr, "")
    if not failures:
        passed.append("exit codes")


def shared_folder(args, work):
    conf = os.path.join(work, "shared")
    os.makedirs(conf)
    pairs = 4
    processes = []
    for i in range(pairs):
        for report, name in (("vellum/report.json", "vellum"), ("vellum/report_x.json", "vellum_x")):
            output = os.path.join(work, "%s-%d.xlsx" % (name, i))
            processes.append((name, output, subprocess.Popen(
                [args.host, os.path.join(args.examples, report), "--output", output, "--conf", conf],
                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)))
    before = len(failures)
    for name, output, process in processes:
        _, err = process.communicate(timeout=300)
        check("parallel %s: exit code (%s)" % (os.path.basename(output), err.strip()), process.returncode, 0)
        if process.returncode == 0:
            CHECKS["vellum/report.json" if name == "vellum" else "vellum/report_x.json"][1](load_workbook(output))

    # A run waits while another holds the folder, and says who holds it (the holder writes its
    # process id into the lock file, as the host does).
    lock = open(os.path.join(conf, ".qx_host.lock"), "r+")
    fcntl.flock(lock, fcntl.LOCK_EX)
    lock.truncate(0)
    lock.write("%d\n" % os.getpid())
    lock.flush()
    output = os.path.join(work, "waited.xlsx")
    waiting = subprocess.Popen([args.host, os.path.join(args.examples, "kestrel/report.json"), "--output",
                                output, "--conf", conf], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               text=True)
    time.sleep(1.5)
    check("a run waits for the folder's lock", waiting.poll(), None)
    # With --wait it gives up, exit 4, naming the holder.
    gave_up = run_host(args.host, [os.path.join(args.examples, "kestrel/report.json"), "--output",
                                   os.path.join(work, "gave-up.xlsx"), "--conf", conf, "--wait", "0.3"])
    held = "qx_host: waiting for %s, held by process %d" % (conf, os.getpid())
    check("--wait: exit code", gave_up.returncode, 4)
    check("--wait: the lines", gave_up.stderr.splitlines(),
          [held, "qx_host: --conf %s: is still held by process %d after 0.3 seconds (--wait); gave up"
           % (conf, os.getpid())])
    check("--wait: no --output", os.path.exists(os.path.join(work, "gave-up.xlsx")), False)
    fcntl.flock(lock, fcntl.LOCK_UN)
    lock.close()
    _, err = waiting.communicate(timeout=300)
    check("the waiting run fills its report", (waiting.returncode, os.path.exists(output)), (0, True))
    check("the waiting run said once who held the folder", err.splitlines(), [held])

    # Neither --conf nor QX_CONF_DIR: a private folder in TMPDIR, gone after the run; tamarack needs
    # no hand step for its language file.
    tmp = os.path.join(work, "tmp")
    os.makedirs(tmp)
    env = {k: v for k, v in os.environ.items() if k != "QX_CONF_DIR"}
    env.update(TMPDIR=tmp, HOME=os.path.join(work, "home"))
    output = os.path.join(work, "private.xlsx")
    run = run_host(args.host, [os.path.join(args.examples, "tamarack/report.json"), "--output", output], env)
    check("private folder: exit code (%s)" % run.stderr.strip(), run.returncode, 0)
    if run.returncode == 0:
        tamarack(load_workbook(output))
    check("private folder removed", os.listdir(tmp), [])
    check("no folder in HOME", os.path.exists(os.path.join(work, "home")), False)
    if len(failures) == before:
        passed.append("shared folder")


def installed(args, work):
    prefix = os.path.join(work, "installed")
    install = subprocess.run(["cmake", "--install", args.build_dir, "--prefix", prefix],
                             capture_output=True, text=True)
    check("cmake --install (%s)" % install.stderr.strip(), install.returncode, 0)
    moved = os.path.join(work, "moved")
    os.rename(prefix, moved)  # nothing may still point at where it was installed
    build = os.path.realpath(args.build_dir).encode()
    for folder, _, files in os.walk(moved):
        for name in files:
            path = os.path.join(folder, name)
            content = open(path, "rb").read()
            if content.startswith(b"\x7fELF"):
                # Debug information names the build folder of a debug build; what the program
                # can use at run time is the rest.
                stripped = os.path.join(work, "stripped")
                subprocess.run(["strip", "--strip-debug", "-o", stripped, path], check=True)
                content = open(stripped, "rb").read()
            check("%s holds no build path" % os.path.relpath(path, moved), build in content, False)
    lib = os.path.join(moved, "lib", "qx-exporters")
    check("exporters in lib/qx-exporters", sorted(os.listdir(lib)),
          ["heron", "libkestrel.so", "libtamarack.so", "libvellum.so", "libvellum_x.so"])
    check("bin holds only the host", os.listdir(os.path.join(moved, "bin")), ["qx_host"])
    for doc in ("copyright", "README.md", "report-descriptions.md", "reliability.md", "engine.md",
                "examples/kestrel/report.json"):
        check("share/doc has %s" % doc, os.path.exists(os.path.join(moved, "share/doc/qx-exporters", doc)), True)
    # Every name is the project's; nothing lies where another package's could.
    for path in ("include/qx-exporters/qx/host_records.h", "share/pkgconfig/qx-exporters.pc",
                 "lib/cmake/QxExporters/QxExportersConfig.cmake",
                 "share/qx-exporters/lang/pinebrook_exe.txt", "share/man/man1/qx_host.1.gz",
                 "share/doc/qx-exporters-dev/examples/fill_report.c"):
        check("installed %s" % path, os.path.exists(os.path.join(moved, path)), True)
    check("top folders", sorted(os.listdir(moved)), ["bin", "include", "lib", "share"])
    check("share holds only the project's", sorted(os.listdir(os.path.join(moved, "share"))),
          ["doc", "man", "pkgconfig", "qx-exporters"])
    before = len(failures)
    host = os.path.join(moved, "bin", "qx_host")
    for report, (name, checker) in CHECKS.items():
        output = os.path.join(work, name + ".xlsx")
        env = dict(os.environ, LD_DEBUG="files")
        env.pop("QX_CONF_DIR", None)
        run = run_host(host, [os.path.join(moved, "share/doc/qx-exporters/examples", report), "--output",
                              output], env)
        check("installed %s: exit code" % name, run.returncode, 0)
        loaded = [path for path in (line.split("file=")[1].split()[0] for line in run.stderr.splitlines()
                                    if "file=" in line) if "/qx-exporters/" in path]
        if name != "heron":
            check("installed %s: loads its library from the moved tree" % name,
                  bool(loaded) and all(path.startswith(lib) for path in loaded), True)
        if run.returncode == 0:
            checker(load_workbook(output))
    if len(failures) == before:
        passed.append("installed")


# Texts as a user types them, each with what the application makes of it in a cell formatted
# General: openpyxl's type ("d" for a time), the value (times in days) and the number format; quoted: the cell's
# format carries the apostrophe mark. The rows that SUM and COUNT cover come first; booleans and
# error values, which LibreOffice would add or pass on, after them.
TYPED_NUMBERS_AND_TEXTS = [
    ("12", "n", 12, "General"), ("-3.5", "n", -3.5, "General"), ("+7", "n", 7, "General"),
    (".5", "n", 0.5, "General"), ("  42  ", "n", 42, "General"), ("007", "n", 7, "General"),
    ("1e3", "n", 1000, "0.00E+00"), ("2.5E-3", "n", 0.0025, "0.00E+00"),
    ("(1e3)", "n", -1000, "0.00E+00"), ("1e", "s", "1e", "General"),
    ("1,234", "n", 1234, "#,##0"), ("1,234.5", "n", 1234.5, "#,##0.00"),
    ("-1,234,567.25", "n", -1234567.25, "#,##0.00"), ("1,23", "s", "1,23", "General"),
    ("12,34", "s", "12,34", "General"), ("1,2345", "s", "1,2345", "General"),
    ("50%", "n", 0.5, "0%"), ("12.5%", "n", 0.125, "0.00%"), ("1,234%", "n", 12.34, "0%"),
    ("%", "s", "%", "General"), ("5%%", "s", "5%%", "General"),
    ("(5)", "n", -5, "General"), ("(1,234)", "n", -1234, "#,##0"), ("(5", "s", "(5", "General"),
    ("()", "s", "()", "General"), ("(5%)", "s", "(5%)", "General"),
    ("TRUEE", "s", "TRUEE", "General"),
    ("'007", "s", "007", "General", "quoted"), ("'=1+1", "s", "=1+1", "General", "quoted"),
    ("1:10", "d", 70 / 1440, "h:mm"), ("12:30:45", "d", 45045 / 86400, "h:mm:ss"),
    ("100:00:00", "d", 100 / 24, "[h]:mm:ss"), ("12:60:00", "s", "12:60:00", "General"),
    ("#N/A!", "s", "#N/A!", "General"),
    ("1234567890123456", "s", "1234567890123456", "General"),
    ("2024-01-02", "s", "2024-01-02", "General"), ("1/2", "s", "1/2", "General"),
    ("1 1/2", "s", "1 1/2", "General"), ("$5", "s", "$5", "General"),
    ("\uffe55", "s", "\uffe55", "General"), ("\uff11\uff12", "s", "\uff11\uff12", "General"),
]
TYPED_BOOLEANS_AND_ERRORS = [
    ("TRUE", "b", True, "General"), ("true", "b", True, "General"), ("False", "b", False, "General"),
    ("#NULL!", "e", "#NULL!", "General"), ("#DIV/0!", "e", "#DIV/0!", "General"),
    ("#VALUE!", "e", "#VALUE!", "General"), ("#REF!", "e", "#REF!", "General"),
    ("#NAME?", "e", "#NAME?", "General"), ("#NUM!", "e", "#NUM!", "General"),
    ("#N/A", "e", "#N/A", "General"), ("#n/a", "e", "#N/A", "General"),
]


def days(value):
    """A time cell's value in days, whichever way openpyxl hands it over."""
    if isinstance(value, datetime.time):
        return (value.hour * 3600 + value.minute * 60 + value.second) / 86400
    if isinstance(value, datetime.timedelta):
        return value.total_seconds() / 86400
    if isinstance(value, datetime.datetime):
        return (value - datetime.datetime(1899, 12, 30)).total_seconds() / 86400
    return value


def typed_texts(args, work):
    """heron writes every typed text into a General column (A) and a text column "@" (B);
    openpyxl reads each cell's type, value, number format, apostrophe mark and frame, and
    LibreOffice computes SUM and COUNT over the columns."""
    typed = TYPED_NUMBERS_AND_TEXTS + TYPED_BOOLEANS_AND_ERRORS
    first, numbers_end = 5, 5 + len(TYPED_NUMBERS_AND_TEXTS) - 1
    last = first + len(typed) - 1
    template = Workbook()
    ws = template.active
    ws["A1"] = "title"
    for row in range(first, last + 1):
        ws.cell(row=row, column=2).number_format = "@"
    formulas = ["=SUM(A%d:A%d)" % (first, numbers_end), "=COUNT(A%d:A%d)" % (first, numbers_end),
                "=SUM(B%d:B%d)" % (first, last), "=SUMPRODUCT(ISERROR(A%d:A%d)*1)" % (first, last)]
    for row, formula in enumerate(formulas, start=1):
        ws.cell(row=row, column=6, value=formula).number_format = "0.000000"
    template_path = os.path.join(work, "typed.xlsx")
    template.save(template_path)
    description = {"exporter": "heron", "template": template_path,
                   "picture": os.path.join(os.path.abspath(args.examples), "picture.bmp"),
                   "header": {"first_row": first, "border_weight": 2, "column_spec": "ab",
                              "picture_cell1": "H2", "picture_cell2": "J8"},
                   "rows": [{"field_a": entry[0], "field_b": entry[0]} for entry in typed]}
    output = os.path.join(work, "typed-out.xlsx")
    conf = os.path.join(work, "conf")
    os.makedirs(conf)
    run = run_host(args.host, [write_description(work, "typed.json", description), "--output", output,
                               "--conf", conf])
    if run.returncode != 0:
        failures.append("typed texts: host exited %d: %s" % (run.returncode, run.stderr.strip()))
        return
    before = len(failures)
    ws = load_workbook(output).active
    for row, (text, kind, value, number_format, *quoted) in enumerate(typed, start=first):
        a, b = ws.cell(row=row, column=1), ws.cell(row=row, column=2)
        what = "%r in %s" % (text, a.coordinate)
        check(what + " type", a.data_type, kind)
        actual = days(a.value)
        if kind in "nd" and isinstance(actual, (int, float)):
            check(what + " value", round(actual, 12), round(value, 12))
        else:
            check(what + " value", a.value, value)
        check(what + " format", a.number_format, number_format)
        check(what + " apostrophe mark", bool(a.quotePrefix), bool(quoted))
        check(what + " framed", framed(ws, a.coordinate), True)
        what = "%r in %s" % (text, b.coordinate)
        check(what + " kept as typed", (b.data_type, b.value, b.number_format, bool(b.quotePrefix)),
              ("s", text, "@", False))
    office = shutil.which("soffice") or shutil.which("libreoffice")
    if office is None:
        print("skipped: LibreOffice is not installed, no SUM over the columns")
    else:
        convert = subprocess.run([office, "--headless", "--convert-to",
                                  "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir",
                                  os.path.join(work, "csv"), output], capture_output=True, text=True,
                                 timeout=300, env=dict(os.environ, HOME=work))
        check("LibreOffice converts the report (%s)" % convert.stderr.strip(), convert.returncode, 0)
        with open(os.path.join(work, "csv", "typed-out.csv"), encoding="utf-8", newline="") as out:
            computed = [float(line[5]) for line in list(csv.reader(out))[:4]]
        numbers = [value for _, kind, value, *_ in TYPED_NUMBERS_AND_TEXTS if kind in "nd"]
        check("LibreOffice: SUM of the General column", round(computed[0], 6), round(sum(numbers), 6))
        check("LibreOffice: COUNT of its numbers", computed[1], len(numbers))
        check("LibreOffice: SUM of the text column", computed[2], 0)
        check("LibreOffice: error values", computed[3],
              len([entry for entry in typed if entry[1] == "e"]))
    if len(failures) == before:
        passed.append("typed texts")


def machine_tag():
    """The tag the host puts into the names of what it leaves while it runs: FNV-1a of the host name."""
    h = 2166136261
    for c in socket.gethostname().encode():
        h = ((h ^ c) * 16777619) & 0xFFFFFFFF
    return "%08x" % h


def dead_pid():
    child = subprocess.Popen(["true"])
    child.wait()
    return child.pid


def hidden(folder):
    return sorted(f for f in os.listdir(folder) if f.startswith("."))


def files(args, work):
    """What the host does with the files it writes: modes, links, the kind of package, standard
    input, the summary, the message log, and what dead runs left behind."""
    before = len(failures)
    kestrel_report = os.path.join(os.path.abspath(args.examples), "kestrel", "report.json")
    kestrel = json.load(open(kestrel_report, encoding="utf-8"))
    kestrel["template"] = os.path.join(os.path.abspath(args.examples), "kestrel", kestrel["template"])
    tmp = os.path.join(work, "tmp")
    os.makedirs(tmp)
    env = {k: v for k, v in os.environ.items() if k not in ("QX_CONF_DIR", "QX_MESSAGE_LOG")}
    env["TMPDIR"] = tmp

    # Standard input, and the summary as JSON.
    out = os.path.join(work, "stdin.xlsx")
    run = subprocess.run([args.host, "-", "--output", out, "--json"], env=env, capture_output=True, text=True,
                         input=json.dumps(kestrel, ensure_ascii=False), timeout=300)
    check("-: exit code (%s)" % run.stderr.strip(), run.returncode, 0)
    summary = json.loads(run.stdout) if run.returncode == 0 else {}
    check("--json: keys", list(summary), ["exporter", "records", "seconds", "export_seconds", "output"])
    check("--json: what", (summary.get("exporter"), summary.get("records"), summary.get("output")),
          ("kestrel", len(kestrel["rows"]), out))
    check("--json: the run holds the export call", summary.get("seconds", 0) >= summary.get("export_seconds", 1) > 0,
          True)
    check("-: the report", load_workbook(out).active["B5"].value if run.returncode == 0 else None, "型号-01")

    # A new file gets the mode the umask leaves; an existing one keeps its own.
    fresh = os.path.join(work, "fresh.xlsx")
    run = subprocess.run([args.host, kestrel_report, "--output", fresh], env=env, capture_output=True,
                         preexec_fn=lambda: os.umask(0o027), timeout=300)
    check("umask 027: new mode", oct(os.stat(fresh).st_mode & 0o777) if run.returncode == 0 else None, "0o640")
    kept = os.path.join(work, "kept.xlsx")
    open(kept, "wb").write(b"old")
    os.chmod(kept, 0o604)
    run = run_host(args.host, [kestrel_report, "--output", kept], env)
    check("existing mode kept", (run.returncode, oct(os.stat(kept).st_mode & 0o777)), (0, "0o604"))

    # A symbolic link is written through: the link stays, its target holds the report.
    os.makedirs(os.path.join(work, "real"))
    target = os.path.join(work, "real", "target.xlsx")
    open(target, "wb").write(b"old")
    link = os.path.join(work, "link.xlsx")
    os.symlink(os.path.join("real", "target.xlsx"), link)
    run = run_host(args.host, [kestrel_report, "--output", link], env)
    check("link: exit code (%s)" % run.stderr.strip(), run.returncode, 0)
    check("link: still a link", os.path.islink(link), True)
    check("link: target filled", load_workbook(target).active["B5"].value if run.returncode == 0 else None,
          "型号-01")
    check("link: nothing beside the target", hidden(os.path.join(work, "real")), [])

    # A template filled into a workbook's name says "workbook", and the other way round.
    template = os.path.join(work, "template.xltx")
    with zipfile.ZipFile(kestrel["template"]) as old, zipfile.ZipFile(template, "w", zipfile.ZIP_DEFLATED) as new:
        for item in old.infolist():
            data = old.read(item.filename)
            if item.filename == "[Content_Types].xml":
                data = data.replace(b"spreadsheetml.sheet.main+xml", b"spreadsheetml.template.main+xml")
            new.writestr(item, data)
    for name, says in (("from-template.xlsx", b"spreadsheetml.sheet.main+xml"),
                       ("again.xltx", b"spreadsheetml.template.main+xml")):
        description = write_description(work, "xltx.json", dict(kestrel, template=template))
        out = os.path.join(work, name)
        run = run_host(args.host, [description, "--output", out], env)
        check("%s: exit code (%s)" % (name, run.stderr.strip()), run.returncode, 0)
        if run.returncode == 0:
            types = zipfile.ZipFile(out).read("[Content_Types].xml")
            check("%s: its content type" % name, (says in types, types.count(b".main+xml")), (True, 1))
            check("%s: filled" % name, load_workbook(out).active["B5"].value, "型号-01")

    # The message log: a line per message, with a time stamp and the run's process id; a log
    # that cannot be written is told once.
    one_sheet = workbook_with(os.path.join(work, "one_sheet.xlsx"), {})
    paged = write_description(work, "paged.json", {
        "exporter": "tamarack", "template": one_sheet,
        "header": {"column_spec": "ae", "first_body_row": 5, "last_body_row": 5, "border_weight": 2,
                   "pagination": 1},
        "rows": [{"field_a": "1"}, {"field_a": "2"}]})
    log = os.path.join(work, "messages.log")
    for attempt in range(2):
        run = run_host(args.host, [paged, "--output", os.path.join(work, "paged.xlsx")],
                       dict(env, QX_MESSAGE_LOG=log))
        check("log run %d: exit code" % attempt, run.returncode, 5)
    lines = open(log, encoding="utf-8").read().splitlines()
    check("log: a line per message", len(lines), 2)
    stamped = [re.match(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z qx_host\[(\d+)\]: \S", line) for line in lines]
    check("log: time stamp and process id", all(stamped), True)
    if all(stamped):
        check("log: two runs, two ids", stamped[0].group(1) != stamped[1].group(1), True)
    unwritable = os.path.join(work, "no-folder", "messages.log")
    run = run_host(args.host, [paged, "--output", os.path.join(work, "paged.xlsx")],
                   dict(env, QX_MESSAGE_LOG=unwritable))
    told = [line for line in run.stderr.splitlines() if "QX_MESSAGE_LOG" in line]
    check("unwritable log: told once", told,
          ["qx_host: QX_MESSAGE_LOG %s: cannot be written (No such file or directory); messages are not logged"
           % unwritable])
    check("unwritable log: the run goes on", run.returncode, 5)

    # What dead runs of this machine left is removed by the next run to the same folder; a live
    # run's files and another machine's stay.
    tag = machine_tag()
    gone = dead_pid()
    left = [".qx-%d-%s-out.xlsx" % (gone, tag), "..qx-%d-%s-out.xlsx.qx-saving-%d-%s-AbC123" % (gone, tag, gone, tag)]
    kept_files = [".qx-%d-%s-out.xlsx" % (os.getpid(), tag), ".qx-%d-0badf00d-out.xlsx" % gone]
    for name in left + kept_files:
        open(os.path.join(work, name), "w").write("x")
    dead_folder = os.path.join(tmp, "qx_host-%d-%s-Xy12Zw" % (gone, tag))
    os.makedirs(os.path.join(dead_folder, "temp"))
    open(os.path.join(dead_folder, "temp", "pinebrook_temp.dat"), "w").write("x")
    run = run_host(args.host, [kestrel_report, "--output", os.path.join(work, "out.xlsx")], env)
    check("leftovers: exit code", run.returncode, 0)
    check("leftovers: the dead run's removed, the others kept", hidden(work), sorted(kept_files))
    check("leftovers: the dead run's private folder removed", os.listdir(tmp), [])
    for name in kept_files:
        os.remove(os.path.join(work, name))

    # The tamarack example of docs/report-descriptions.md fills what the page says it does.
    page = open(os.path.join(os.path.dirname(os.path.abspath(args.examples)), "docs", "report-descriptions.md"),
                encoding="utf-8").read()
    example = json.loads(re.findall(r"```json\n(.*?)```", page, re.S)[3])
    two_sheets = workbook_with(os.path.join(work, "two_sheets.xlsx"), {}, sheets=2)
    description = write_description(work, "docs-tamarack.json", dict(example, template=two_sheets))
    run = run_host(args.host, [description, "--output", os.path.join(work, "docs-tamarack.xlsx")], env)
    check("docs tamarack example: exit code (%s)" % run.stderr.strip(), run.returncode, 0)
    if run.returncode == 0:
        first, second = load_workbook(os.path.join(work, "docs-tamarack.xlsx")).worksheets
        check("docs tamarack example: sheet 1 row 7", [c.value for c in first[7]][:5], [None, "小计:", 6, "小计:", 3.375])
        check("docs tamarack example: sheet 2 row 6", [c.value for c in second[6]][2:5], [6, "小计:", 3.5])
        check("docs tamarack example: sheet 2 row 7", [c.value for c in second[7]][2:5], [12, "总计:", 6.875])
    if len(failures) == before:
        passed.append("files")


def big_description(folder, name, exporter, rows):
    """A description of `rows` records, one a line."""
    path = os.path.join(folder, name)
    t = os.path.join(folder, "big-template.xlsx")
    if not os.path.exists(t):
        workbook_with(t, {"A1": "title"})
    with open(path, "w", encoding="utf-8") as out:
        if exporter == "heron":
            head = {"exporter": "heron", "template": t, "picture": "",
                    "header": {"first_row": 5, "border_weight": 2, "column_spec": "abc",
                               "picture_cell1": "G2", "picture_cell2": "I8"}}
            row = '{"field_a": "%d", "field_b": "测点 %d", "field_c": "合格"}'
        else:
            head = {"exporter": exporter, "template": t,
                    "header": {"start_row": 5, "border_weight": 2, "group_column": 2, "column_spec": "abc"}}
            row = '{"group_key": "G", "b_text": "构件 %d", "text_c": "%d"}'
        text = json.dumps(head, ensure_ascii=False)[:-1]
        out.write(text + ', "rows": [\n')
        for i in range(rows):
            out.write(row % (i, i) + (",\n" if i + 1 < rows else "\n"))
        out.write("]}\n")
    return path


def herons_of_run(tmp):
    """The heron processes started by runs whose TMPDIR is tmp (other tests may run heron meanwhile)."""
    mine = ("TMPDIR=" + tmp).encode()
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.path.basename(os.readlink("/proc/%s/exe" % pid)) != "heron":
                continue
            if mine in open("/proc/%s/environ" % pid, "rb").read().split(b"\0"):
                found.append(pid)
        except OSError:
            pass  # ended meanwhile, or not ours to read
    return found


def signals(args, work):
    """A 200,000-row run stopped by SIGINT, SIGTERM and SIGHUP removes its working copy and its
    private folder and exits 128 + the signal; one killed outright leaves them, and the next run to
    the same folder removes them. --output stays as it was."""
    import signal
    before = len(failures)
    tmp = os.path.join(work, "tmp")
    os.makedirs(tmp)
    out_folder = os.path.join(work, "out")
    os.makedirs(out_folder)
    picture = os.path.join(os.path.abspath(args.examples), "picture.bmp")
    vellum = big_description(work, "vellum.json", "vellum", 200000)
    heron = big_description(work, "heron.json", "heron", 200000)
    text = open(heron, encoding="utf-8").read().replace('"picture": ""', '"picture": "%s"' % picture)
    open(heron, "w", encoding="utf-8").write(text)
    env = {k: v for k, v in os.environ.items() if k not in ("QX_CONF_DIR", "QX_MESSAGE_LOG")}
    env["TMPDIR"] = tmp
    output = os.path.join(out_folder, "report.xlsx")

    def stopped(description, sig):
        open(output, "wb").write(b"old")
        process = subprocess.Popen([args.host, description, "--output", output], env=env,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        deadline = time.time() + 120
        while time.time() < deadline and not hidden(out_folder) and process.poll() is None:
            time.sleep(0.02)
        time.sleep(0.1)  # the exporter is filling the working copy now
        # Stopped first, so that however fast this machine is the run is still going when the
        # signal arrives; it is delivered when the run goes on.
        running = process.poll() is None
        if running:
            process.send_signal(signal.SIGSTOP)
            process.send_signal(sig)
            process.send_signal(signal.SIGCONT)
        _, err = process.communicate(timeout=120)
        return running, process.returncode, err

    for description, sig in ((vellum, signal.SIGINT), (vellum, signal.SIGTERM), (vellum, signal.SIGHUP),
                             (heron, signal.SIGTERM)):
        name = "%s %s" % (os.path.basename(description), sig.name)
        running, code, err = stopped(description, sig)
        check("%s: still running when signalled" % name, running, True)
        check("%s: exit code (%s)" % (name, err.strip()), code, 128 + sig.value)
        check("%s: says so" % name, "stopped by %s" % sig.name in err, True)
        check("%s: nothing beside --output" % name, hidden(out_folder), [])
        check("%s: nothing in TMPDIR" % name, os.listdir(tmp), [])
        check("%s: --output kept" % name, open(output, "rb").read(), b"old")
        check("%s: no heron left running" % name, herons_of_run(tmp), [])

    # Killed outright, then the next run to the same --output.
    for description in (vellum, heron):
        name = "%s SIGKILL" % os.path.basename(description)
        running, code, err = stopped(description, signal.SIGKILL)
        check("%s: still running when killed" % name, (running, code), (True, -9))
        time.sleep(0.5)  # heron dies with its host
        small = write_description(work, "small.json", {
            "exporter": "kestrel", "template": os.path.join(work, "big-template.xlsx"),
            "header": {"start_row": 5, "border_weight": 2, "primary_spec": "ab"}, "rows": [{"primary_b": "x"}]})
        run = run_host(args.host, [small, "--output", output], env)
        check("%s: the next run (%s)" % (name, run.stderr.strip()), run.returncode, 0)
        check("%s: nothing beside --output after the next run" % name, hidden(out_folder), [])
        check("%s: nothing in TMPDIR after the next run" % name, os.listdir(tmp), [])
    if len(failures) == before:
        passed.append("signals")


def progress(args, work):
    """On a terminal a long report shows a bar with records, percent and time left, cleared at the
    end; --quiet and a pipe show nothing."""
    import pty
    import threading
    before = len(failures)
    env = {k: v for k, v in os.environ.items() if k not in ("QX_CONF_DIR", "QX_MESSAGE_LOG")}

    def on_terminal(command):
        master, slave = pty.openpty()
        process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=slave)
        os.close(slave)
        seen = []

        def read():
            while True:
                try:
                    chunk = os.read(master, 65536)
                except OSError:
                    break
                if not chunk:
                    break
                seen.append(chunk)
        reader = threading.Thread(target=read)
        reader.start()
        process.communicate(timeout=300)
        reader.join(timeout=10)
        os.close(master)
        return process.returncode, b"".join(seen).decode("utf-8", "replace")

    picture = os.path.join(os.path.abspath(args.examples), "picture.bmp")
    vellum = big_description(work, "vellum.json", "vellum", 60000)
    heron = big_description(work, "heron.json", "heron", 150000)
    text = open(heron, encoding="utf-8").read().replace('"picture": ""', '"picture": "%s"' % picture)
    open(heron, "w", encoding="utf-8").write(text)
    for description in (vellum, heron):
        name = os.path.basename(description)
        code, shown = on_terminal([args.host, description, "--output", os.path.join(work, "out.xlsx")])
        check("%s: exit code" % name, code, 0)
        frames = [frame for frame in shown.split("\r") if frame.strip()]
        bars = [frame for frame in frames if "] " in frame and "%" in frame and "records" in frame]
        check("%s: a bar with records and percent (%r)" % (name, frames[-3:]), bool(bars), True)
        check("%s: cleared at the end" % name, shown.endswith("\r\x1b[K"), True)
        counts = [int(re.search(r"(\d[\d,]*)/", bar).group(1).replace(",", "")) for bar in bars]
        check("%s: records never go past the report" % name, all(0 <= n <= 150000 for n in counts), True)
        code, shown = on_terminal([args.host, description, "--output", os.path.join(work, "out.xlsx"), "--quiet"])
        check("%s --quiet: nothing shown (%r)" % (name, shown[:80]), (code, shown), (0, ""))
    if len(failures) == before:
        passed.append("progress")


GROUPS = {"examples": examples, "exit-codes": exit_codes, "shared-folder": shared_folder,
          "installed": installed, "typed-texts": typed_texts, "files": files, "signals": signals,
          "progress": progress}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--lang", required=True)
    parser.add_argument("--build-dir")
    parser.add_argument("--checks", default="examples", choices=sorted(GROUPS))
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="qx-host-")
    try:
        GROUPS[args.checks](args, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAIL " + failure)
    print("%d passed, %d failures" % (len(passed), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
