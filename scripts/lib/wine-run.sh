#!/bin/sh
# Runs a Windows test program under Wine for CTest: wine-run.sh LOADER PROGRAM [ARGUMENTS...].
# The program's standard error goes to a file, handed on to ours once the program has ended.
# CTest waits until every holder of a test's output pipe has closed it, and the Wine helpers a
# program starts inherit its standard error: explorer.exe, which serves the desktop to the
# first program that needs one, lives on while any other program uses the desktop (a test
# running beside it, a COM server), and would keep the test open until then, up to its time
# limit.
loader=$1
shift
errors=$(mktemp "${TMPDIR:-/tmp}/qx-wine-stderr.XXXXXX") || exec "$loader" "$@"
status=0
"$loader" "$@" 2>"$errors" || status=$?
cat "$errors" >&2
rm -f "$errors"
exit "$status"
