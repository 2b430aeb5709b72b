#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, AddressSanitizer, UBSan) and runs each
# for a fixed time, one after the other, over a working copy of its seeds and regressions (the
# seed folders in the repository are never written). Prints per target the runs, the time and
# whether it found anything; a finding leaves its input in the printed folder and makes the
# script exit non-zero.
#
#   scripts/fuzz.sh [seconds per target, default 300] [target...]
#
# Targets: check_point language_file cell_reference number_text package package_parts.
# QX_FUZZ_WORK names the working folder (default build/fuzz/work). Every run is appended to
# <work>/history.tsv, and the totals per target over all runs are printed at the end.
set -Eeuo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/steps.sh
on_error_say fuzz
root=$PWD

seconds=${1:-300}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(check_point language_file cell_reference number_text package package_parts)
fi
work=${QX_FUZZ_WORK:-$root/build/fuzz/work}
corpus=${QX_CORPUS_DIR:-$root/../shared/corpus/xlsx}

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is not installed (scripts/bootstrap.sh --tests installs it)" >&2
  exit 2
fi
run_quiet "fuzz: configure" cmake --preset fuzz
run_quiet "fuzz: build" cmake --build --preset fuzz -j "$(nproc)"

mkdir -p "$work"
findings=$work/findings
rc=0
printf '%-16s %12s %8s  %s\n' target runs seconds result
for target in "${targets[@]}"; do
  fuzzer=$root/build/fuzz/tests/fuzz/${target}_fuzzer
  [ -x "$fuzzer" ] || { echo "fuzz: no target $target" >&2; exit 2; }
  dir=$work/corpus/$target
  mkdir -p "$dir" "$findings"
  for source in "tests/fuzz/seeds/$target" "tests/fuzz/regressions/$target"; do
    [ -d "$source" ] && cp -n "$source"/* "$dir"/ 2>/dev/null || true
  done
  if [ "$target" = package ]; then
    [ -d "$corpus" ] || { echo "fuzz: the corpus folder $corpus is missing (set QX_CORPUS_DIR)" >&2; exit 2; }
    # Small workbooks only: large ones cost seconds per run and add little coverage.
    find "$corpus" -maxdepth 1 -type f -size -512k -exec cp -n {} "$dir"/ \;
  fi
  log=$work/$target.log
  start=$(date +%s)
  status=0
  "$fuzzer" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$findings/$target-" "$dir" >"$log" 2>&1 || status=$?
  elapsed=$(($(date +%s) - start))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  runs=${runs:-$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')}
  if [ "$status" -eq 0 ]; then
    result="clean"
  else
    result="FOUND (exit $status): $(grep -m1 -E 'ERROR:|fuzz check failed|runtime error' "$log" || echo 'see log')"
    rc=1
  fi
  printf '%-16s %12s %8s  %s\n' "$target" "${runs:-0}" "$elapsed" "$result"
  printf '%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$target" "${runs:-0}" "$elapsed" \
    "${result%%:*}" >>"$work/history.tsv"
done

echo "totals over every run in $work/history.tsv:"
awk -F'\t' '{ runs[$2] += $3; secs[$2] += $4; if ($5 != "clean") found[$2]++ }
  END { for (t in runs) printf "  %-16s %12d runs %8d s  %d finding(s)\n", t, runs[t], secs[t], found[t] }' \
  "$work/history.tsv" | sort
if [ "$rc" -ne 0 ]; then
  echo "findings (inputs and logs): $findings and $work/<target>.log"
fi
exit $rc
