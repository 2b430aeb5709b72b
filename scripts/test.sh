#!/usr/bin/env bash
# Configures, builds and runs every test this machine can run: release, dev (AddressSanitizer +
# UBSan), a short smoke run of the fuzz targets when clang is installed, and the Windows builds
# under Wine as far as Wine runs here. Ends with a summary: a line per stage saying what ran,
# what passed, and what was not run and why. Exits non-zero only when something that ran failed.
set -Eeuo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/steps.sh
source scripts/lib/wine.sh
on_error_say test.sh
jobs=$(nproc)
started=$SECONDS
QX_LOG_DIR=$(mktemp -d /tmp/qx-test-logs.XXXXXX)
QX_SUMMARY_FILE=$QX_LOG_DIR/summary
export QX_LOG_DIR QX_SUMMARY_FILE
: >"$QX_SUMMARY_FILE"
rc=0
passed=0
failed=0

# Adds a CTest log's counts to the totals.
count() {
  local total bad
  read -r total bad <<<"$(ctest_numbers "$1")" || true
  [ -n "$total" ] || return 0
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

# Formatting: every C++ file of the checkout as the repository's .clang-format wants it.
formatting() {
  local files
  files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
  echo "$files" | xargs clang-format --dry-run -Werror
}
echo "== formatting"
if ! command -v clang-format >/dev/null; then
  summary "formatting: not run: clang-format is not installed (scripts/bootstrap.sh --tests installs it)"
elif run_quiet "formatting" formatting; then
  summary "formatting: passed: every C++ file is as .clang-format wants it"
else
  summary "formatting: FAILED: clang-format would change the files named above"
  rc=1
fi

for preset in release dev; do
  echo "== $preset"
  step=$SECONDS
  if ! run_quiet "$preset: configure" cmake --preset "$preset" ||
    ! run_shown "$preset: build" cmake --build --preset "$preset" -j "$jobs"; then
    summary "$preset: FAILED to build (see above)"
    rc=1
    continue
  fi
  result=passed
  run_shown "$preset: tests" ctest --preset "$preset" -j "$jobs" --no-tests=error || result=FAILED
  [ "$result" = passed ] || rc=1
  log=$(qx_step_log "$preset: tests")
  count "$log"
  summary "$preset: $result: $(ctest_counts "$log") ($((SECONDS - step)) s)"
  # What the save fault-injection and kill tests did, from their output.
  grep -hE '^(injected|clean run:|[0-9]+ kills)' "build/$preset/Testing/Temporary/LastTest.log" |
    sed "s/^/   $preset saving: /" || true
done

# Fuzz smoke run: every libFuzzer target for a short, fixed time (scripts/fuzz.sh runs longer).
if command -v clang++ >/dev/null; then
  echo "== fuzz (smoke)"
  if run_shown "fuzz" scripts/fuzz.sh 15; then
    summary "fuzz: passed: every target ran 15 s and found nothing"
  else
    summary "fuzz: FAILED (see above)"
    rc=1
  fi
else
  summary "fuzz: not run: clang is not installed (scripts/bootstrap.sh --tests installs it)"
fi

# The Windows stage's test counts, from the logs in $QX_LOG_DIR.
count_windows() {
  local preset stage log
  for preset in windows-x64 windows-x86; do
    for stage in tests "embedded engine tests" "end-to-end tests"; do
      log=$(qx_step_log "$preset: $stage")
      [ ! -f "$log" ] || count "$log"
    done
  done
}
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
  ! command -v i686-w64-mingw32-g++-posix >/dev/null; then
  summary "windows: not built: mingw-w64 is not installed (scripts/bootstrap.sh --tests installs it)"
else
  scripts/windows-tests.sh || rc=1
  count_windows
  # Where this kernel runs 32-bit programs, the i686 build's deliverable tests run once more as
  # on a kernel that refuses them, under emulation, so that the emulated path is proven here
  # too. Its logs go to a folder of their own.
  if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' &&
    [ -z "$(wine_loader_fails "$wine32_loader")" ]; then
    echo "== windows-x86 once more, as where the kernel refuses 32-bit programs"
    (
      export QX_LOG_DIR=$QX_LOG_DIR/refused QX_WINE32=refuse QX_WINDOWS_X86_TESTS=deliverable
      scripts/windows-tests.sh windows-x86 || exit 1
    ) || rc=1
    QX_LOG_DIR=$QX_LOG_DIR/refused count_windows
  fi
fi

echo
echo "== summary ($((SECONDS - started)) s; logs in $QX_LOG_DIR)"
sed 's/^/  /' "$QX_SUMMARY_FILE"
echo "tests: $passed passed, $failed failed"
if [ $rc -eq 0 ]; then
  echo "test.sh: every stage that ran passed"
else
  echo "test.sh: FAILED: a stage that ran did not pass (see its line above)"
fi
exit $rc
