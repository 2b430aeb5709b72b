#!/usr/bin/env bash
# Builds the Windows presets with mingw-w64 and runs their tests under Wine in a fresh prefix,
# as far as this machine can: the 64-bit tests under the 64-bit loader, the 32-bit ones
# natively where this kernel runs 32-bit programs, else under qemu-i386 emulation
# (scripts/lib/wine.sh says how it is found). Every exporter is built and checked without
# running it (architecture, exports, imports) in any case. Ends with one summary line per
# preset; a part that cannot run here is said so and is no failure, a part that runs and fails
# is. Every Wine step has a time limit, so a stuck Wine process fails the run instead of hanging.
# Usage: scripts/windows-tests.sh [windows-x64] [windows-x86]   (both by default)
#        QX_WINE32=0       takes the path of a machine that cannot execute 32-bit programs
#        QX_WINE32=refuse  takes the path of a kernel that refuses them: emulation
#        QX_QEMU_BINFMT=0  the emulation without binfmt_misc (the private loader folder)
#        QX_WINDOWS_X86_TESTS=deliverable  runs of the i686 build only what proves
#                          tamarack.dll (scripts/lib/wine.sh: wine32_deliverable_tests)
set -Eeuo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/steps.sh
source scripts/lib/wine.sh
on_error_say windows-tests

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(windows-x64 windows-x86)
jobs=$(nproc)
started=$SECONDS

[[ " ${presets[*]} " == *" windows-x86 "* ]] || export QX_WINE32_UNUSED=1
unset DISPLAY  # a message box under a display would block a test until its timeout
# First of all: it may run this script again in a namespace of its own.
wine_probe "$PWD/scripts/windows-tests.sh" "$@"
declare -A why_not=()
for preset in "${presets[@]}"; do
  case "$preset" in
    windows-x64) [ "$WINE64_RUNS" = 1 ] || why_not[$preset]=$WINE64_WHY ;;
    windows-x86)
      [ "$WINE64_RUNS" = 1 ] || why_not[$preset]=$WINE64_WHY
      [ "$WINE32_RUNS" = 1 ] || why_not[$preset]=$WINE32_WHY ;;
    *) echo "windows-tests: unknown preset $preset" >&2; exit 2 ;;
  esac
done
echo "== windows: 64-bit programs: $([ "$WINE64_RUNS" = 1 ] && echo run || echo "not run: $WINE64_WHY")"
echo "== windows: 32-bit programs: $([ "$WINE32_RUNS" = 1 ] && echo "run under $WINE32_HOW" || echo "not run: $WINE32_WHY")"

# A new prefix, only when some tests will run in it.
WINEPREFIX=$(mktemp -d /tmp/qx-wineprefix.XXXXXX)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  timeout 30 wineserver -w >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"  # about 1.3 GB
}
trap cleanup EXIT

# Made through the 32-bit loader where 32-bit programs run, natively or emulated: a prefix the
# 64-bit loader makes alone has an empty syswow64, and no 32-bit program starts in it.
make_prefix() {
  local boot=$QX_WINE
  [ "$WINE32_RUNS" = 0 ] || boot=$QX_WINE32_LOADER
  timeout 600 "$boot" wineboot -i && timeout 120 wineserver -w
}
# One persistent server with its services, started off the pipes that ctest reads: a Wine
# helper that inherits such a pipe keeps ctest waiting.
start_server() {
  wineserver -p </dev/null >/dev/null 2>&1
  timeout 120 "$QX_WINE" wineboot
}
runnable=0
for preset in "${presets[@]}"; do [ -n "${why_not[$preset]:-}" ] || runnable=1; done
if [ $runnable = 1 ]; then
  echo "== windows: new Wine prefix $WINEPREFIX ($([ "$WINE32_RUNS" = 0 ] && echo "$QX_WINE" || echo "$QX_WINE32_LOADER"))"
  if run_quiet "windows: wineboot -i (new prefix)" make_prefix &&
    run_quiet "windows: wineboot (services)" start_server; then
    echo "== windows: prefix ready after $((SECONDS - started)) s"
  else
    for preset in "${presets[@]}"; do
      why_not[$preset]=${why_not[$preset]:-"Wine does not start here (wineboot failed, see above)"}
    done
  fi
fi

# Code page 936 as the ANSI code page, for the test processes only. A failure, under emulation
# too, is never run again. A test that hangs until its time limit is run once more: Wine's
# cross-process calls have been seen to stall, rarely and never twice in a row, while a fault of
# ours hangs both times. The summary names every test that needed the second run.
run_ctest() {
  env LC_ALL=zh_CN.UTF-8 timeout 3600 ctest --preset "$1" --timeout 120 \
    --repeat after-timeout:2 --no-tests=error "${@:2}"
}

rc=0
for preset in "${presets[@]}"; do
  echo "== $preset"
  step=$SECONDS
  skip=${why_not[$preset]:-}
  discovery=ON
  [ -z "$skip" ] || discovery=OFF
  arch=x86_64 runner=() how="the 64-bit loader"
  if [ "$preset" = windows-x86 ]; then
    # What starts the 32-bit test programs: the wrapper, or the emulation's loader folder.
    arch=i686 runner=(-DQX_WINE_LOADER="$(command -v "$QX_WINE32_LOADER")") how=$WINE32_HOW
  fi
  if ! run_quiet "$preset: the engine's libraries (scripts/windows-deps.sh $arch)" \
    scripts/windows-deps.sh "$arch" ||
    ! run_quiet "$preset: configure" cmake --preset "$preset" -DQX_TEST_DISCOVERY=$discovery \
      "${runner[@]}" ||
    ! run_shown "$preset: build" timeout 3600 cmake --build --preset "$preset" -j "$jobs"; then
    summary "$preset: FAILED to build (see above)"
    rc=1
    continue
  fi
  # Plain commands on this machine: what can be checked without running the exporters.
  if ! run_shown "$preset: header checks" ctest --preset "$preset" -L static_checks \
    --no-tests=error; then
    summary "$preset: FAILED the header checks (exports, imports, architecture; see above)"
    rc=1
    continue
  fi
  if [ -n "$skip" ]; then
    summary "$preset: built and checked (architecture, exports, imports); not run: $skip"
    continue
  fi
  result=passed
  if ! run_quiet "$preset: register the COM test servers" \
    scripts/register-test-servers.sh "$preset"; then
    result=FAILED
  fi
  # Of the i686 build, on request only what proves the deliverable: the unit tests of the
  # host's records in their 4-byte layouts, then the embedded engine and end to end as always.
  unit_selection=(-LE 'wine_end_to_end|wine_embedded|static_checks') unit_part=""
  if [ "$preset" = windows-x86 ] && [ "${QX_WINDOWS_X86_TESTS:-}" = deliverable ]; then
    unit_selection=(-L host_layouts) unit_part=" (only the host's 4-byte layouts)"
  fi
  run_shown "$preset: tests" run_ctest "$preset" -j "$jobs" "${unit_selection[@]}" ||
    result=FAILED
  unit="$(ctest_counts "$(qx_step_log "$preset: tests")")$unit_part"
  # The exporters on the embedded engine, while no "Excel.Application" is registered; the
  # recorder that stands for the .xlsx program stays registered from here on.
  if run_quiet "$preset: register the .xlsx opener" \
    scripts/register-test-servers.sh "$preset" opener; then
    run_shown "$preset: embedded engine tests" run_ctest "$preset" -L wine_embedded ||
      result=FAILED
    embedded=$(ctest_counts "$(qx_step_log "$preset: embedded engine tests")")
  else
    embedded="not run: the .xlsx opener could not be registered"
    result=FAILED
  fi
  # The exporters end to end: the recording server answers as "Excel.Application" only
  # while these run, since the tests above expect that no such server is registered.
  if run_quiet "$preset: register the recording server" \
    scripts/register-test-servers.sh "$preset" excel; then
    run_shown "$preset: end-to-end tests" run_ctest "$preset" -L wine_end_to_end ||
      result=FAILED
    end=$(ctest_counts "$(qx_step_log "$preset: end-to-end tests")")
    run_quiet "$preset: unregister the recording server" \
      scripts/register-test-servers.sh "$preset" no-excel || result=FAILED
  else
    end="not run: the recording server could not be registered"
    result=FAILED
  fi
  [ "$result" = passed ] || rc=1
  summary "$preset: $result under $how: unit $unit; embedded engine $embedded; end to end $end ($((SECONDS - step)) s)"
done
echo "== windows: $((SECONDS - started)) s in all"
exit $rc
