#!/usr/bin/env bash
# Registers the COM test servers of a Windows build in the current Wine prefix ($WINEPREFIX),
# the way an installer would, without regsvr32: ProgID -> CLSID -> InprocServer32.
# Usage: scripts/register-test-servers.sh windows-x64|windows-x86 [fakes|excel|no-excel|opener] [build dir]
#   fakes     the fake servers of tests/com (the default)
#   excel     the recording server of tests/wine as "Excel.Application"; the exporters then
#             reach it, so register it only for the tests that expect it (label wine_end_to_end)
#   no-excel  removes that registration again
#   opener    tests/wine's qx_opened_recorder.exe as the program that opens .xlsx files
set -Eeuo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/steps.sh
on_error_say register-test-servers
# The command that runs Wine's tools: scripts/windows-tests.sh sets it to the 64-bit loader
# where 32-bit programs cannot run.
wine=${QX_WINE:-wine}

preset=${1:?usage: $0 windows-x64|windows-x86 [fakes|excel|no-excel|opener] [build dir]}
what=${2:-fakes}
build=${3:-build/$preset}
case "$preset" in
  windows-x64) view=/reg:64 ;;  # the 64-bit registry view
  windows-x86) view=/reg:32 ;;  # 32-bit clients read Wow6432Node
  *) echo "register-test-servers: unknown preset $preset" >&2; exit 2 ;;
esac
: "${WINEPREFIX:?register-test-servers: set WINEPREFIX to the prefix the tests run in}"

# The same values as tests/com/fake_server_ids.h.
ids=tests/com/fake_server_ids.h
define() {
  local value
  value=$(sed -n "s/^#define $1 \"\\(.*\\)\"\$/\\1/p" "$ids")
  [ -n "$value" ] || { echo "register-test-servers: no $1 in $ids" >&2; exit 1; }
  echo "$value"
}
windowsPath() {
  local file="$build/tests/$1"
  [ -f "$file" ] || { echo "register-test-servers: $file is not built" >&2; exit 1; }
  timeout 60 "$wine" winepath -w "$PWD/$file" </dev/null 2>/dev/null
}
reg() {
  local output
  output=$(timeout 60 "$wine" reg add "$@" /f "$view" </dev/null 2>&1) || {
    echo "register-test-servers: $wine reg add $* failed: $output" >&2
    return 1
  }
}
# ProgID -> CLSID, and the class with its server: $1 ProgID (may be empty), $2 CLSID,
# $3 InprocServer32 | InprocHandler32 | LocalServer32, $4 the server's Windows path.
register() {
  if [ -n "$1" ]; then
    reg "HKCR\\$1\\CLSID" /ve /d "$2"
    reg "HKCR\\CLSID\\$2\\ProgID" /ve /d "$1"
  fi
  reg "HKCR\\CLSID\\$2\\$3" /ve /d "$4"
  [ "$3" = LocalServer32 ] || reg "HKCR\\CLSID\\$2\\$3" /v ThreadingModel /d Apartment
  echo "register-test-servers: ${1:-(no ProgID)} -> $2 -> $3 $4 ($view)"
}

# The recording server's class, as tests/wine/recording_server_ids.h names it.
recordingClsid=$(sed -n 's/^#define QX_RECORDING_CLSID_TEXT "\(.*\)"$/\1/p' tests/wine/recording_server_ids.h)
[ -n "$recordingClsid" ] || { echo "register-test-servers: no CLSID in recording_server_ids.h" >&2; exit 1; }
case "$what" in
  excel)
    recordingDll=$(windowsPath wine/qx_recording_com_server.dll)
    register Excel.Application "$recordingClsid" InprocServer32 "$recordingDll"
    exit 0 ;;
  no-excel)
    timeout 60 "$wine" reg delete 'HKCR\Excel.Application' /f "$view" </dev/null >/dev/null 2>&1 || true
    timeout 60 "$wine" reg delete "HKCR\\CLSID\\$recordingClsid" /f "$view" </dev/null >/dev/null 2>&1 || true
    echo "register-test-servers: Excel.Application removed ($view)"
    exit 0 ;;
  opener)
    # The file type's class, and its "open" verb starting the recorder on the file.
    recorder=$(windowsPath wine/qx_opened_recorder.exe)
    reg 'HKCR\.xlsx' /ve /d QxTest.OpenedReport
    reg 'HKCR\QxTest.OpenedReport\shell\open\command' /ve /d "\"$recorder\" \"%1\""
    echo "register-test-servers: .xlsx opens with $recorder ($view)"
    exit 0 ;;
  fakes) ;;
  *) echo "register-test-servers: unknown registration $what" >&2; exit 2 ;;
esac

progid=$(define QX_FAKE_PROGID)
clsid=$(define QX_FAKE_CLSID_TEXT)
localProgid=$(define QX_FAKE_LOCAL_PROGID)
localClsid=$(define QX_FAKE_LOCAL_CLSID_TEXT)
handlerProgid=$(define QX_FAKE_HANDLER_PROGID)
handlerClsid=$(define QX_FAKE_HANDLER_CLSID_TEXT)
dll=$(windowsPath com/qx_fake_server.dll)
exe=$(windowsPath com/qx_fake_local_server.exe)

register "$progid" "$clsid" InprocServer32 "$dll"
register "$localProgid" "$localClsid" LocalServer32 "$exe"
register "$handlerProgid" "$handlerClsid" InprocHandler32 "$dll"
