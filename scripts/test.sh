#!/usr/bin/env bash
# Configures, builds and runs every test: release, dev (AddressSanitizer + UBSan), a short
# smoke run of the fuzz targets when clang is installed, and the Windows builds under Wine when
# Wine and mingw-w64 are installed.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
rc=0

for preset in release dev; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs" || rc=1
  # What the save fault-injection and kill tests did, from their output.
  grep -hE '^(injected|clean run:|[0-9]+ kills)' "build/$preset/Testing/Temporary/LastTest.log" |
    sed "s/^/   $preset saving: /" || true
done

# Fuzz smoke run: every libFuzzer target for a short, fixed time (scripts/fuzz.sh runs longer).
if command -v clang++ >/dev/null; then
  echo "== fuzz (smoke)"
  scripts/fuzz.sh 15 || rc=1
else
  echo "== fuzz: skipped (clang not installed; scripts/bootstrap.sh installs it)"
fi

if command -v wine >/dev/null && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  scripts/windows-tests.sh || rc=1
else
  echo "== windows: skipped (wine or mingw-w64 not installed; scripts/bootstrap.sh installs them)"
fi
exit $rc
