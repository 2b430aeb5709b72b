#!/usr/bin/python3
"""Runs every example report through the sample host and the real exporters on the embedded
engine, then reads each filled workbook back with openpyxl and checks a few cells of each."""
import argparse
import datetime
import os
import shutil
import subprocess
import sys
import tempfile

from openpyxl import load_workbook

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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--lang", required=True)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="qx-examples-")
    try:
        conf = os.path.join(work, "conf")
        os.makedirs(os.path.join(conf, "lang"))
        shutil.copy(args.lang, os.path.join(conf, "lang", "pinebrook_exe.txt"))
        env = dict(os.environ, QX_MESSAGE_LOG=os.path.join(work, "messages.log"))
        for report, (name, checker) in CHECKS.items():
            output = os.path.join(work, name + ".xlsx")
            run = subprocess.run([args.host, os.path.join(args.examples, report), "--output", output,
                                  "--conf", conf], env=env, capture_output=True, text=True, timeout=300)
            if run.returncode != 0:
                failures.append("%s: host exited %d: %s" % (report, run.returncode, run.stderr.strip()))
                continue
            before = len(failures)
            checker(load_workbook(output))
            if len(failures) == before:
                passed.append(report)
                print("ok  " + run.stdout.strip())
        if os.path.exists(env["QX_MESSAGE_LOG"]):
            shown = open(env["QX_MESSAGE_LOG"], encoding="utf-8").read().strip()
            check("messages shown", shown, "")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAIL " + failure)
    print("%d passed, %d failed" % (len(passed), len(CHECKS) - len(passed)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
