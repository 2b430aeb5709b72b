#!/usr/bin/env bash
# What scripts/lib/steps.sh makes of a real CTest log, with the Windows stage's one more run for
# a test that hangs: a hang that passes on its second run is passed and named, one that hangs
# twice and a plain failure are failures, and a failure is never run again.
# Usage: ctest_counts_test.sh SOURCE_DIR
set -Eeuo pipefail
source_dir=$(cd "${1:?usage: ctest_counts_test.sh SOURCE_DIR}" && pwd)
source "$source_dir/scripts/lib/steps.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/qx-ctest-counts.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Each test counts its runs in a file of its own.
cat >"$work/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(counts NONE)
enable_testing()
function(counted name script)
  add_test(NAME ${name} COMMAND sh -c "echo run >> ${CMAKE_BINARY_DIR}/${name}.runs; ${script}")
  set_tests_properties(${name} PROPERTIES TIMEOUT 1)
endfunction()
counted(passes "true")
counted(hangs_once "[ $(wc -l < ${CMAKE_BINARY_DIR}/hangs_once.runs) -gt 1 ] || sleep 5")
counted(hangs_always "sleep 5")
counted(fails "false")
CMAKE
cmake -S "$work" -B "$work/build" >/dev/null
(cd "$work/build" && ctest --repeat after-timeout:2 >"$work/log" 2>&1) || true

failures=0
expect() {  # what, expected, actual
  if [ "$2" != "$3" ]; then
    echo "FAILED: $1: expected '$2', got '$3'"
    failures=$((failures + 1))
  fi
}
runs() { wc -l <"$work/build/$1.runs"; }
expect "runs of the test that passes" 1 "$(runs passes)"
expect "runs of the test that hangs once" 2 "$(runs hangs_once)"
expect "runs of the test that always hangs" 2 "$(runs hangs_always)"
expect "runs of the failing test" 1 "$(runs fails)"
counts=$(ctest_counts "$work/log")
expect "the summary" "2 of 4 tests failed: hangs_always,fails; 1 hung once and passed on a second run: hangs_once (see $work/log)" "$counts"

# A log where nothing hung says nothing of second runs.
(cd "$work/build" && ctest -R '^passes$' >"$work/clean.log" 2>&1)
expect "the summary of a clean run" "1 of 1 tests passed" "$(ctest_counts "$work/clean.log")"

[ "$failures" = 0 ] && echo "ctest_counts: every case passed"
exit "$failures"
