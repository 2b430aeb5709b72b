#!/usr/bin/env bash
# How scripts/lib/wine.sh finds out what runs 32-bit Windows programs, on this machine and with
# a refusing kernel forced (QX_WINE32=refuse): native where the kernel runs them, qemu-i386 in
# a namespace's binfmt_misc or through the private loader folder where it refuses them, and
# no emulator that is missing or too old. Nothing may stay registered afterwards.
# Usage: wine_probe_test.sh SOURCE_DIR   (exit 77: skipped, Wine's 32-bit loader is missing)
#        wine_probe_test.sh SOURCE_DIR probe   one probe, its results as NAME=value lines
set -Eeuo pipefail
source_dir=$(cd "${1:?usage: wine_probe_test.sh SOURCE_DIR}" && pwd)
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
cd "$source_dir"

if [ "${2:-}" = probe ]; then
  source scripts/lib/steps.sh
  source scripts/lib/wine.sh
  # The emulator as a case gives it: the real one fetched before, or a fake.
  [ -z "${QX_TEST_QEMU_FETCH:-}" ] || wine_qemu_fetch=$QX_TEST_QEMU_FETCH
  wine_probe "$self" "$@"
  for name in QX_WINE QX_WINE32_LOADER WINE32_RUNS WINE32_WHY WINE32_HOW; do
    echo "$name=${!name}"
  done
  echo "refused=$(bash -c '"$0" --version' /usr/lib/wine/wine 2>&1 || true)"
  echo "binfmt=$(sed -n 's/^interpreter //p' /proc/sys/fs/binfmt_misc/qx-i386 2>/dev/null || true)"
  if [ "$WINE32_RUNS" = 1 ]; then
    echo "loader=$("$QX_WINE32_LOADER" --version 2>&1 || true)"
    echo "tool=$("$QX_WINE" --version 2>&1 || true)"
  fi
  exit 0
fi

if [ ! -x /usr/lib/wine/wine ] || [ ! -x /usr/lib/wine/wine64 ]; then
  echo "skipped: Wine's loaders are not installed (scripts/bootstrap.sh --tests installs them)"
  exit 77
fi
# Each case sets what it needs: a refusal forced on the whole run must not reach the others.
unset QX_WINE32 QX_QEMU_BINFMT QX_WINDOWS_X86_TESTS
work=$(mktemp -d "${TMPDIR:-/tmp}/qx-wine-probe.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QX_LOG_DIR=$work/logs
failures=0
ran=0

# Fakes of scripts/windows-qemu.sh: one that fails as without a network, and ones that hand
# over an emulator of a given version.
cat >"$work/fetch-fails" <<'EOF'
#!/bin/sh
echo "windows-qemu: apt-get update (bookworm-backports) failed (exit 100)" >&2
exit 1
EOF
fake_emulator() {  # $1 name, $2 its --version line
  printf '#!/bin/sh\necho "%s"\n' "$2" >"$work/$1"
  printf '#!/bin/sh\necho %s\n' "$work/$1" >"$work/fetch-$1"
  chmod +x "$work/$1" "$work/fetch-$1"
}
chmod +x "$work/fetch-fails"
fake_emulator qemu-7 "qemu-i386 version 7.2.0 (Debian 1:7.2+dfsg-7+deb12u7)"
fake_emulator qemu-x86_64 "qemu-x86_64 version 10.0.2 (Debian 1:10.0.2+ds-2)"

# Runs one probe with the settings given (NAME=value ...) and checks its output for each
# expected "NAME=text" line start or "NAME~text" substring that follows "--".
check() {
  local label=$1 output line name want have settings=()
  shift
  while [ "$1" != -- ]; do settings+=("$1"); shift; done
  shift
  ran=$((ran + 1))
  output=$(env "${settings[@]}" bash "$self" "$source_dir" probe 2>&1) || true
  for line in "$@"; do
    case "$line" in
      *"~"*) name=${line%%~*} want=${line#*~} ;;
      *) name=${line%%=*} want=${line#*=} ;;
    esac
    have=$(echo "$output" | sed -n "s/^$name=//p" | head -n 1)
    if { [[ "$line" == *"~"* ]] && [[ "$have" != *"$want"* ]]; } ||
      { [[ "$line" != *"~"* ]] && [ "$have" != "$want" ]; }; then
      echo "FAILED: $label: $name is '$have', expected $([[ "$line" == *"~"* ]] && echo "to hold '$want'" || echo "'$want'")"
      echo "$output" | sed 's/^/  | /'
      failures=$((failures + 1))
      return
    fi
  done
  echo "ok: $label"
}

# Whether this kernel runs 32-bit programs; a machine whose kernel refuses them takes the
# emulated path without being asked, as the forced cases below do.
native=1
bash -c '"$0" --version' /usr/lib/wine/wine >/dev/null 2>&1 || native=0
user_namespaces=1
unshare --user --map-root-user --mount true 2>/dev/null || user_namespaces=0

check "QX_WINE32=0 runs no 32-bit program" QX_WINE32=0 -- \
  WINE32_RUNS=0 "WINE32_WHY~QX_WINE32=0" QX_WINE=/usr/lib/wine/wine64
if [ $native = 1 ]; then
  check "a kernel that runs 32-bit programs runs them natively" -- \
    WINE32_RUNS=1 "WINE32_HOW=the 32-bit loader" QX_WINE=wine QX_WINE32_LOADER=wine \
    "loader~wine-"
fi
# Where no user namespace can be made (a chroot), the refusal is taken as given and said so.
if [ $user_namespaces = 1 ]; then
  refusal="refused~Exec format error" refusal_emulated="refused~Exec format error"
else
  refusal="WINE32_WHY~taken as given" refusal_emulated="WINE32_HOW~taken as given"
fi
check "no emulator where it cannot be fetched" QX_WINE32=refuse \
  QX_TEST_QEMU_FETCH="$work/fetch-fails" -- \
  WINE32_RUNS=0 "WINE32_WHY~cannot execute 32-bit programs" \
  "WINE32_WHY~scripts/windows-qemu.sh failed (windows-qemu: apt-get update" "$refusal" \
  QX_WINE=/usr/lib/wine/wine64
for emulator in qemu-7 qemu-x86_64; do
  check "no emulation by $emulator" QX_WINE32=refuse QX_TEST_QEMU_FETCH="$work/fetch-$emulator" -- \
    WINE32_RUNS=0 "WINE32_WHY~$work/$emulator is no qemu-i386 of version 8 or later" "$refusal"
done

# The real emulator, where scripts/windows-qemu.sh has fetched it: both ways of using it, each
# with the refusal in force, so that a 32-bit program that reached the kernel would fail.
qemu=$source_dir/build/windows-deps/qemu/qemu-i386
if [ -x "$qemu" ]; then
  if [ $user_namespaces = 1 ]; then
    check "qemu-i386 registered in the namespace's binfmt_misc" QX_WINE32=refuse \
      QX_TEST_QEMU_FETCH="$source_dir/scripts/windows-qemu.sh" -- \
      WINE32_RUNS=1 "WINE32_HOW~emulation (binfmt_misc of this run's own namespace" \
      "WINE32_HOW~made so by QX_WINE32=refuse" "binfmt=$qemu" "loader~wine-" "tool~wine-" \
      QX_WINE=/usr/lib/wine/wine64
  fi
  folder=$source_dir/build/windows-deps/qemu/usr/lib/wine
  check "qemu-i386 through the private loader folder" QX_WINE32=refuse QX_QEMU_BINFMT=0 \
    QX_TEST_QEMU_FETCH="$source_dir/scripts/windows-qemu.sh" -- \
    WINE32_RUNS=1 "WINE32_HOW~emulation (a private Wine loader folder, QX_QEMU_BINFMT=0" \
    "$refusal_emulated" "loader~wine-" "tool~wine-" QX_WINE32_LOADER="$folder/wine" \
    QX_WINE="$folder/wine64"
  if ! cmp -s "$folder/wine-i386" /usr/lib/wine/wine || ! cmp -s "$folder/wine64" /usr/lib/wine/wine64 ||
    [ "$(readlink "$folder/wineserver")" != /usr/lib/wine/wineserver ]; then
    echo "FAILED: the loader folder holds copies of both loaders and links to the rest"
    ls -l "$folder"
    failures=$((failures + 1))
  fi
else
  echo "not run: the cases with the real emulator ($qemu: run scripts/windows-qemu.sh first)"
fi

# Nothing of it is left on the machine: its binfmt_misc is as it was, without our entry.
if [ -e /proc/sys/fs/binfmt_misc/qx-i386 ]; then
  echo "FAILED: /proc/sys/fs/binfmt_misc/qx-i386 is left registered"
  failures=$((failures + 1))
fi
echo "$ran probes, $failures failed"
[ $failures -eq 0 ]
