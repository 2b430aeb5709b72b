#!/usr/bin/python3
"""The C caller of examples/ and the Debian packages, as integrators and packagers meet them.
  --c-caller PROGRAM   the caller built in this tree fills a template; called again on the filled
                       file it starts one row lower (what include/qx/host_records.h promises)
  --packages           cpack makes the .deb files; lintian finds nothing but what
                       lintian-allowed.txt lists with a reason; unpacked into a temporary root
                       (dpkg -x, never the system), the C caller built with pkg-config and a CMake
                       consumer built with find_package(QxExporters) fill a template, and the
                       packaged qx_host fills an example; the man page says what --help says"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

from openpyxl import load_workbook

failures = []
counted = [0]


def check(what, actual, expected):
    counted[0] += 1
    if actual != expected:
        failures.append("%s: %r, expected %r" % (what, actual, expected))


def table(path, first, last):
    ws = load_workbook(path).active
    return [[ws.cell(row, column).value for column in (1, 2, 3)] for row in range(first, last + 1)]


ROWS = [[1, "型号-01", 12], [2, "型号-02", -3], [3, "型号-03", 0]]


def run_caller(what, program, template, work, env=None):
    os.makedirs(work, exist_ok=True)
    filled = os.path.join(work, "filled.xlsx")
    shutil.copy(template, filled)
    conf = os.path.join(work, "conf")
    os.makedirs(conf, exist_ok=True)
    env = dict(env or os.environ, QX_CONF_DIR=conf)
    run = subprocess.run([program, filled], env=env, capture_output=True, text=True, timeout=120)
    check("%s: exit code (%s)" % (what, run.stderr.strip()), run.returncode, 0)
    check("%s: nothing shown" % what, run.stderr, "")
    check("%s: the header text" % what, load_workbook(filled).active["A2"].value, "型号清单")
    check("%s: the rows" % what, table(filled, 5, 7), ROWS)
    return filled, env


def c_caller(args, work):
    filled, env = run_caller("C caller", args.c_caller, args.template, work)
    # Again on the filled file: kestrel finds its first table cell taken and starts one row lower.
    run = subprocess.run([args.c_caller, filled], env=env, capture_output=True, text=True, timeout=120)
    check("C caller again: exit code", run.returncode, 0)
    check("C caller again: one row lower", table(filled, 5, 8), [ROWS[0]] + ROWS)


def lintian(debs, allowed_file):
    allowed = {}
    for line in open(allowed_file, encoding="utf-8"):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        tag, _, reason = line.partition(" ")
        check("lintian-allowed.txt: %s has a reason" % tag, bool(reason.strip()), True)
        allowed[tag] = reason.strip()
    run = subprocess.run(["lintian", "--tag-display-limit", "0"] + debs, capture_output=True, text=True)
    found = []
    for line in run.stdout.splitlines():
        match = re.match(r"^([EW]): (\S+?)(?: \w+)?: (\S+)(.*)$", line)
        if match:
            found.append((match.group(2), match.group(3), line))
    unexpected = [line for package, tag, line in found if "%s:%s" % (package, tag) not in allowed]
    check("lintian: errors and warnings not allowed with a reason", unexpected, [])
    print("lintian: %d finding(s), all allowed" % len(found) if not unexpected else run.stdout)


def packages(args, work):
    built = os.path.join(work, "packages")
    run = subprocess.run(["cpack", "-G", "DEB", "--config", os.path.join(args.build_dir, "CPackConfig.cmake"),
                          "-B", built], capture_output=True, text=True, timeout=600)
    check("cpack (%s)" % run.stderr.strip()[-400:], run.returncode, 0)
    debs = sorted(glob.glob(os.path.join(built, "*.deb")))
    check("two packages", sorted(re.sub(r"_.*", "", os.path.basename(d)) for d in debs),
          ["qx-exporters", "qx-exporters-dev"])
    if len(debs) != 2:
        return
    if shutil.which("lintian"):
        lintian(debs, args.allowed)
    else:
        failures.append("lintian is not installed (scripts/bootstrap.sh --tests installs it)")

    root = os.path.join(work, "root")
    for deb in debs:
        subprocess.run(["dpkg", "-x", deb, root], check=True)
    usr = os.path.join(root, "usr")
    for path in ("bin/qx_host", "lib/qx-exporters/libkestrel.so", "lib/qx-exporters/heron",
                 "include/qx-exporters/qx/host_records.h", "share/pkgconfig/qx-exporters.pc",
                 "lib/cmake/QxExporters/QxExportersConfig.cmake", "share/man/man1/qx_host.1.gz",
                 "share/qx-exporters/lang/pinebrook_exe.txt", "share/doc/qx-exporters/copyright",
                 "share/doc/qx-exporters-dev/copyright", "share/doc/qx-exporters-dev/examples/fill_report.c"):
        check("packaged %s" % path, os.path.exists(os.path.join(usr, path)), True)
    example = os.path.join(usr, "share/doc/qx-exporters-dev/examples/fill_report.c")

    # A C build with pkg-config, from the packaged example and header.
    env = dict(os.environ, PKG_CONFIG_PATH=os.path.join(usr, "share/pkgconfig"))
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "qx-exporters"], env=env, capture_output=True,
                           text=True)
    check("pkg-config (%s)" % flags.stderr.strip(), flags.returncode, 0)
    program = os.path.join(work, "fill_report_pkgconfig")
    build = subprocess.run(["cc", "-std=c99", "-pedantic-errors", "-Wall", "-Werror", example, "-o", program]
                           + flags.stdout.split() + ["-lkestrel"], capture_output=True, text=True)
    check("cc with pkg-config (%s)" % build.stderr.strip(), build.returncode, 0)
    if build.returncode == 0:
        run_caller("pkg-config consumer", program, args.template, os.path.join(work, "pc"))

    # A CMake build with find_package(QxExporters).
    consumer = os.path.join(work, "consumer")
    configure = subprocess.run(["cmake", "-S", os.path.join(args.source_dir, "tests/packaging/consumer"), "-B",
                                consumer, "-G", "Ninja", "-DCMAKE_PREFIX_PATH=" + usr,
                                "-DFILL_REPORT_SOURCE=" + example], capture_output=True, text=True)
    check("cmake consumer: configure (%s)" % configure.stderr.strip(), configure.returncode, 0)
    build = subprocess.run(["cmake", "--build", consumer], capture_output=True, text=True)
    check("cmake consumer: build (%s)" % build.stdout.strip()[-400:], build.returncode, 0)
    if build.returncode == 0:
        run_caller("CMake consumer", os.path.join(consumer, "fill_report"), args.template,
                   os.path.join(work, "cm"))

    # The packaged host, and its man page made from --help.
    host = os.path.join(usr, "bin", "qx_host")
    env = {k: v for k, v in os.environ.items() if k != "QX_CONF_DIR"}
    run = subprocess.run([host, os.path.join(usr, "share/doc/qx-exporters/examples/kestrel/report.json"),
                          "--output", os.path.join(work, "packaged.xlsx")], env=env, capture_output=True,
                         text=True, timeout=120)
    check("packaged qx_host (%s)" % run.stderr.strip(), run.returncode, 0)
    page = subprocess.run(["man", "-l", "-P", "cat", os.path.join(usr, "share/man/man1/qx_host.1.gz")],
                          env=dict(os.environ, MANWIDTH="200"), capture_output=True, text=True).stdout
    helped = subprocess.run([host, "--help"], capture_output=True, text=True).stdout
    options = re.findall(r"^  ((?:-\w, )?--[\w-]+)", helped, re.M)
    check("--help lists the options", len(options) >= 8, True)
    for option in options:
        check("man page: %s" % option, option.replace("-", "") in page.replace("‐", "-").replace("-", ""), True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--c-caller")
    parser.add_argument("--packages", action="store_true")
    parser.add_argument("--build-dir")
    parser.add_argument("--source-dir")
    parser.add_argument("--template", required=True)
    parser.add_argument("--allowed")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="qx-packages-")
    try:
        if args.c_caller:
            c_caller(args, work)
        if args.packages:
            packages(args, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAIL " + failure)
    print("%d passed, %d failed" % (counted[0] - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
