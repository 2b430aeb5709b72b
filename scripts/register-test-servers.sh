#!/usr/bin/env bash
# Registers the COM test servers of a Windows build in the current Wine prefix ($WINEPREFIX),
# the way an installer would, without regsvr32: ProgID -> CLSID -> InprocServer32.
# Usage: scripts/register-test-servers.sh windows-x64|windows-x86
set -euo pipefail
cd "$(dirname "$0")/.."

preset=${1:?usage: $0 windows-x64|windows-x86}
case "$preset" in
  windows-x64) view=/reg:64 ;;  # the 64-bit registry view
  windows-x86) view=/reg:32 ;;  # 32-bit clients read Wow6432Node
  *) echo "register-test-servers: unknown preset $preset" >&2; exit 2 ;;
esac
: "${WINEPREFIX:?register-test-servers: set WINEPREFIX to the prefix the tests run in}"

# The same values as tests/com/fake_server_ids.h.
ids=tests/com/fake_server_ids.h
progid=$(sed -n 's/^#define QX_FAKE_PROGID "\(.*\)"$/\1/p' "$ids")
clsid=$(sed -n 's/^#define QX_FAKE_CLSID_TEXT "\(.*\)"$/\1/p' "$ids")
dll="build/$preset/tests/com/qx_fake_server.dll"
if [ -z "$progid" ] || [ -z "$clsid" ]; then
  echo "register-test-servers: cannot read the ProgID and CLSID from $ids" >&2
  exit 1
fi
if [ ! -f "$dll" ]; then
  echo "register-test-servers: $dll is not built" >&2
  exit 1
fi
path=$(winepath -w "$PWD/$dll" 2>/dev/null)

reg() { timeout 60 wine reg add "$@" /f "$view" </dev/null >/dev/null 2>&1; }
reg "HKCR\\$progid\\CLSID" /ve /d "$clsid"
reg "HKCR\\CLSID\\$clsid\\ProgID" /ve /d "$progid"
reg "HKCR\\CLSID\\$clsid\\InprocServer32" /ve /d "$path"
reg "HKCR\\CLSID\\$clsid\\InprocServer32" /v ThreadingModel /d Apartment
echo "register-test-servers: $progid -> $clsid -> $path ($view)"
