# Sourced by the scripts: no step ends a script without saying what failed and why.
#   on_error_say NAME       an ERR trap that names the failed command, its line and exit code
#   run_quiet LABEL CMD...  runs CMD with its output kept in a log; on failure prints the
#                           log's last lines and returns CMD's exit code
#   run_shown LABEL CMD...  the same, with the output shown as it comes
#   summary LINE            one line for the closing summary ($QX_SUMMARY_FILE), also printed

on_error_say() {
  # shellcheck disable=SC2064
  trap "echo \"$1: failed at line \$LINENO: \$BASH_COMMAND (exit \$?)\" >&2" ERR
}

qx_step_log() {
  mkdir -p "${QX_LOG_DIR:=${TMPDIR:-/tmp}/qx-logs}"
  echo "$QX_LOG_DIR/$(echo "$1" | tr -c 'A-Za-z0-9_.-' '_').log"
}

qx_step_failed() {
  local label=$1 status=$2 log=$3
  echo "$label failed (exit $status); the last lines of its output ($log):" >&2
  tail -n "${QX_TAIL_LINES:-25}" "$log" | sed 's/^/  | /' >&2
}

run_quiet() {
  local label=$1 log status=0
  shift
  log=$(qx_step_log "$label")
  "$@" >"$log" 2>&1 </dev/null || status=$?
  [ "$status" -eq 0 ] || qx_step_failed "$label" "$status" "$log"
  return "$status"
}

run_shown() {
  local label=$1 log status=0
  shift
  log=$(qx_step_log "$label")
  { "$@" </dev/null 2>&1 && echo 0 >"$log.status" || echo $? >"$log.status"; } | tee "$log"
  status=$(cat "$log.status")
  [ "$status" -eq 0 ] || qx_step_failed "$label" "$status" "$log"
  return "$status"
}

summary() {
  echo "$*"
  [ -z "${QX_SUMMARY_FILE:-}" ] || echo "$*" >>"$QX_SUMMARY_FILE"
}

# "total failed" from a CTest log's closing line; nothing when it has none.
ctest_numbers() {
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1) ||
    return 0
  echo "${line##* out of } $(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/')"
}

# The tests of a CTest log that timed out once and passed when run again (--repeat
# after-timeout), as "; N hung once and passed on a second run: names"; nothing when none did.
ctest_hung_once() {
  local names
  names=$(sed -nE 's/^([0-9]+\/[0-9]+ )?Test +#[0-9]+: ([^ ]+) .*\*\*\*Timeout.*/\2/p' "$1" |
    sort -u | while read -r name; do
      sed -n '/^The following tests FAILED:/,/^[^[:space:]]/p' "$1" | grep -qF " - $name " ||
        echo "$name"
    done)
  [ -z "$names" ] || echo "; $(echo "$names" | wc -l) hung once and passed on a second run: $(echo "$names" | head -n 5 | paste -sd, -)"
}

# "N of M tests passed" or "N of M tests failed: names", from a CTest log; and the tests that
# passed only on a second run after hanging.
ctest_counts() {
  local log=$1 total failed
  read -r total failed <<<"$(ctest_numbers "$log")" || true
  if [ -z "$total" ]; then
    echo "no test result (see $log)"
  elif [ "$failed" -eq 0 ]; then
    echo "$total of $total tests passed$(ctest_hung_once "$log")"
  else
    # Only the list under "FAILED": the one under "did not run" names skipped tests.
    echo "$failed of $total tests failed: $(sed -n '/^The following tests FAILED:/,/^[^[:space:]]/p' "$log" |
      sed -nE 's/^[[:space:]]+[0-9]+ - ([^ ]+) \(.*/\1/p' | head -n 5 | paste -sd, -)$(ctest_hung_once "$log") (see $log)"
  fi
}
