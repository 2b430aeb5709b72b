#!/usr/bin/python3
"""The sample host as a user and a script meet it, with the real exporters on the embedded engine;
every filled workbook is read back with openpyxl. Groups (--checks):
  examples       every example report, a few cells of each, and the strict check of each against
                 its template (schemas after Markup Compatibility, and the rules they cannot state)
  exit-codes     each exit code, what is printed for it, and that --output is only ever a report
  shared-folder  runs sharing one configuration folder take turns; the private default folder
  installed      an installation moved away from where it was installed, with no build path"""
import argparse
import datetime
import fcntl
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

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
        ([described("weight.json", kestrel, header=dict(kestrel["header"], border_weight=3))], 5,
         "kestrel did not fill the report", [".qx-"]),
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
              [f for f in os.listdir(work) if f.startswith(".qx-")], [])
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

    # A run waits while another holds the folder.
    lock = open(os.path.join(conf, ".qx_host.lock"), "a")
    fcntl.flock(lock, fcntl.LOCK_EX)
    output = os.path.join(work, "waited.xlsx")
    waiting = subprocess.Popen([args.host, os.path.join(args.examples, "kestrel/report.json"), "--output",
                                output, "--conf", conf], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    time.sleep(1.5)
    check("a run waits for the folder's lock", waiting.poll(), None)
    fcntl.flock(lock, fcntl.LOCK_UN)
    lock.close()
    waiting.communicate(timeout=300)
    check("the waiting run fills its report", (waiting.returncode, os.path.exists(output)), (0, True))

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
    lib = os.path.join(moved, "lib", "qx")
    check("exporters in lib/qx", sorted(os.listdir(lib)),
          ["heron", "libkestrel.so", "libtamarack.so", "libvellum.so", "libvellum_x.so"])
    check("bin holds only the host", os.listdir(os.path.join(moved, "bin")), ["qx_host"])
    for doc in ("copyright", "README.md", "report-descriptions.md", "reliability.md", "engine.md",
                "examples/kestrel/report.json"):
        check("share/doc has %s" % doc, os.path.exists(os.path.join(moved, "share/doc/qx-exporters", doc)), True)
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
                                    if "file=" in line) if "/qx/" in path]
        if name != "heron":
            check("installed %s: loads its library from the moved tree" % name,
                  bool(loaded) and all(path.startswith(lib) for path in loaded), True)
        if run.returncode == 0:
            checker(load_workbook(output))
    if len(failures) == before:
        passed.append("installed")


GROUPS = {"examples": examples, "exit-codes": exit_codes, "shared-folder": shared_folder,
          "installed": installed}


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
