#!/usr/bin/python3
"""Every exporter library exports exactly its one function, as the host looks it up: nothing of
the layers linked into it (a name two libraries loaded into one host share would be bound to the
first one loaded). Reads the dynamic symbol table with nm -D."""
import os
import subprocess
import sys

EXPECTED = {"libvellum.so": ["excel_file"], "libvellum_x.so": ["excel_file_auto"],
            "libkestrel.so": ["excel_file"], "libtamarack.so": ["export_to_excel"]}


def main():
    folder = sys.argv[1]
    libraries = sorted(name for name in os.listdir(folder) if name.endswith(".so"))
    failures = []
    if libraries != sorted(EXPECTED):
        failures.append("libraries in %s: %s, expected %s" % (folder, libraries, sorted(EXPECTED)))
    for name in libraries:
        listed = subprocess.run(["nm", "-D", "--defined-only", os.path.join(folder, name)],
                                capture_output=True, text=True, check=True).stdout.split("\n")
        exported = sorted(line.split()[-1] for line in listed if line.strip())
        if exported != EXPECTED.get(name):
            failures.append("%s exports %s, expected %s" % (name, exported, EXPECTED.get(name)))
    for failure in failures:
        print("FAIL " + failure)
    print("%d passed, %d failed" % (len(libraries) - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
