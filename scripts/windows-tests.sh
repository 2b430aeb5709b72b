#!/usr/bin/env bash
# Builds the Windows presets with mingw-w64 and runs their tests under Wine in a fresh prefix.
# Every Wine step has a time limit, so a stuck Wine process fails the run instead of hanging it.
# Usage: scripts/windows-tests.sh [windows-x64] [windows-x86]   (both by default)
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(windows-x64 windows-x86)
jobs=$(nproc)
started=$SECONDS

unset DISPLAY  # a message box under a display would block a test until its timeout
WINEPREFIX=$(mktemp -d /tmp/qx-wineprefix.XXXXXX)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  timeout 30 wineserver -w >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"  # about 1.3 GB
}
trap cleanup EXIT

# 32-bit programs need the i386 loader in the prefix from its creation; without it they print
# nothing and exit 0, which would pass unseen.
if [[ " ${presets[*]} " == *" windows-x86 "* ]] &&
  ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  echo "== windows: wine32:i386 is not installed (scripts/bootstrap.sh installs it)" >&2
  exit 1
fi

echo "== windows: new Wine prefix $WINEPREFIX"
timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1
timeout 120 wineserver -w
# One persistent server with its services, started off the pipes that ctest reads: a Wine
# helper that inherits such a pipe keeps ctest waiting.
wineserver -p </dev/null >/dev/null 2>&1
timeout 120 wine wineboot </dev/null >/dev/null 2>&1
echo "== windows: prefix ready after $((SECONDS - started)) s"

rc=0
for preset in "${presets[@]}"; do
  echo "== $preset"
  step=$SECONDS
  if ! cmake --preset "$preset" >/dev/null; then
    rc=1
    continue
  fi
  # The build runs Wine too: test discovery lists each test program's tests.
  if ! timeout 3600 cmake --build --preset "$preset" -j "$jobs"; then
    echo "== $preset: build failed" >&2
    rc=1
    continue
  fi
  if ! scripts/register-test-servers.sh "$preset"; then
    echo "== $preset: the COM test servers could not be registered; their tests will fail" >&2
    rc=1
  fi
  # Code page 936 as the ANSI code page, for the test processes only. Wine now and then fails
  # to start a test program at all ("ShellExecuteEx: internal error", seen once in a few
  # hundred starts); a failed test gets one more run, so only a repeatable failure counts.
  env LC_ALL=zh_CN.UTF-8 timeout 3600 ctest --preset "$preset" -j "$jobs" --timeout 120 \
    --no-tests=error --repeat until-pass:2 -LE wine_end_to_end || rc=1
  # The deliverables end to end: the recording server answers as "Excel.Application" only
  # while these run, since the tests above expect that no such server is registered.
  if scripts/register-test-servers.sh "$preset" excel; then
    env LC_ALL=zh_CN.UTF-8 timeout 1800 ctest --preset "$preset" --timeout 120 \
      --no-tests=error --repeat until-pass:2 -L wine_end_to_end || rc=1
    scripts/register-test-servers.sh "$preset" no-excel || rc=1
  else
    echo "== $preset: the recording server could not be registered" >&2
    rc=1
  fi
  echo "== $preset: $((SECONDS - step)) s"
done
echo "== windows: $((SECONDS - started)) s in all"
exit $rc
