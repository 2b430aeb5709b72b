# Sourced by the Windows scripts: finds out what this machine can run under Wine, once.
#   wine_probe "$0" "$@"  sets QX_WINE (the command that runs Wine's own tools, such as
#                wineboot and reg), QX_WINE32_LOADER (the command that runs a 32-bit test
#                program), WINE64_RUNS / WINE32_RUNS (1 or 0), WINE64_WHY / WINE32_WHY (why
#                not) and WINE32_HOW (what runs 32-bit programs: "the 32-bit loader" natively,
#                or "qemu-i386 <version> emulation (how and why)").
#                Where the emulation needs a binfmt_misc of its own, it runs the calling script
#                again (its path and arguments are the ones given) in a user namespace that has
#                one: call it before the script does anything that must happen once.
# How 32-bit programs run, in this order: natively wherever the kernel runs them (emulation
# is three to four times slower); else, where the kernel refuses them ("Exec format error"),
# under qemu-i386 from bookworm-backports (scripts/windows-qemu.sh): registered with
# binfmt_misc in a user namespace of this run (scripts/lib/binfmt-namespace.sh), or where no
# binfmt_misc can be mounted, through a private copy of Wine's loader folder whose 32-bit loader
# starts under qemu (every 32-bit process Wine starts goes through it; wineserver and the 64-bit
# loader stay native); else not at all, and WINE32_WHY says why.
# In the environment:
#   QX_WINE32=0        32-bit programs are not run: the path of a machine that cannot run them
#   QX_WINE32=refuse   the path of a kernel that refuses them: the script runs again in a user
#                      namespace whose binfmt_misc sends every i386 program to a file that is
#                      no program, so that executing one fails with "Exec format error" as
#                      there; then the emulation is found as on such a kernel
#   QX_QEMU_BINFMT=0   the emulation takes the private loader folder, as where binfmt_misc
#                      cannot be mounted
#   QX_WINE32_UNUSED=1 no 32-bit programs will run: no emulation is set up for them

wine64_loader=/usr/lib/wine/wine64
wine32_loader=/usr/lib/wine/wine
wine_binfmt_namespace=$PWD/scripts/lib/binfmt-namespace.sh
wine_qemu_fetch=$PWD/scripts/windows-qemu.sh
# The private loader folder, in a copy of /usr's layout: the 32-bit loader finds its
# libraries at ../i386-linux-gnu/wine/ and its data at ../../share/wine/. A stable path, since
# the i686 build names its test runner.
wine_loader_usr=$PWD/build/windows-deps/qemu/usr
wine_loader_folder=$wine_loader_usr/lib/wine

# Runs a loader once; prints why it cannot run, or nothing when it can.
wine_loader_fails() {
  local output
  if [ ! -e "$1" ]; then
    echo "$1 is not installed"
    return
  fi
  # Through bash, which reports a refused binary as such ("timeout" alone would hand it to sh).
  if ! output=$(timeout 60 bash -c '"$0" --version' "$1" 2>&1 </dev/null); then
    case "$output" in
      *"Exec format error"*) echo "this kernel cannot execute 32-bit programs ($1: Exec format error)" ;;
      *) echo "$1 --version fails: $(echo "$output" | tail -n 1)" ;;
    esac
  fi
}

# Prints why no user namespace with a binfmt_misc of its own can be made here, or nothing.
# Linux before 6.7 gives a namespace none (the machine's own is never touched); a chrooted
# process may make no user namespace at all.
wine_binfmt_fails() {
  local output
  if ! output=$(timeout 30 unshare --user --map-root-user --mount \
    sh -c 'mount -t binfmt_misc qx-binfmt /proc/sys/fs/binfmt_misc &&
      test -w /proc/sys/fs/binfmt_misc/register' 2>&1 </dev/null); then
    echo "no binfmt_misc of a namespace's own here (${output:-it cannot be mounted})" |
      tr '\n' ' ' | sed 's/ $//'
  fi
}

# The version of a qemu-i386 when it is new enough for Wine (8 or later), else nothing.
qemu_usable_version() {
  local version
  version=$(timeout 30 "$1" --version 2>/dev/null </dev/null |
    sed -nE '1s/^qemu-i386 version ([0-9]+(\.[0-9]+)*).*/\1/p') || true
  [ -n "$version" ] && [ "${version%%.*}" -ge 8 ] && echo "$version"
}

# The private loader folder: a copy of Wine's loader folder whose "wine" is a script starting
# a copy of the 32-bit loader under qemu. Each Wine process takes its folder from its own
# executable and starts every 32-bit process through "<that folder>/wine", every 64-bit one
# through ".../wine64", so both loaders are copies: the 64-bit one runs natively from here,
# and the 32-bit one, which qemu shows as the executable, sends its children here too. The
# rest (wineserver) are links to the native files.
wine_make_loader_folder() {
  local qemu=$1 file
  rm -rf "$wine_loader_usr"
  mkdir -p "$wine_loader_folder"
  ln -s /usr/lib/i386-linux-gnu "$wine_loader_usr/lib/i386-linux-gnu"
  ln -s /usr/lib/x86_64-linux-gnu "$wine_loader_usr/lib/x86_64-linux-gnu"
  ln -s /usr/share "$wine_loader_usr/share"
  for file in /usr/lib/wine/*; do ln -s "$file" "$wine_loader_folder/"; done
  rm "$wine_loader_folder/wine" "$wine_loader_folder/wine64"
  cp "$wine32_loader" "$wine_loader_folder/wine-i386"
  cp "$wine64_loader" "$wine_loader_folder/wine64"
  printf '#!/bin/sh\n# 32-bit Wine under qemu-i386: this kernel does not run 32-bit programs.\nexec %q -0 "$0" %q "$@"\n' \
    "$qemu" "$wine_loader_folder/wine-i386" >"$wine_loader_folder/wine"
  chmod +x "$wine_loader_folder/wine"
}

# Where the kernel refuses 32-bit programs ($1 says so): sets up the emulation, or says why
# there is none. Runs the calling script ($2...) again where binfmt_misc is to be used.
wine32_emulate() {
  local refusal=$1 qemu version log binfmt_why
  shift
  if [ -n "${QX_WINE32_UNUSED:-}" ]; then
    WINE32_WHY="$refusal (and no 32-bit tests are asked for)"
    return
  fi
  log=$(qx_step_log "windows: qemu-i386 (scripts/windows-qemu.sh)")
  if ! qemu=$("$wine_qemu_fetch" 2>"$log"); then
    WINE32_WHY="$refusal, and no emulator: scripts/windows-qemu.sh failed ($(tail -n 1 "$log"))"
    return
  fi
  if ! version=$(qemu_usable_version "$qemu"); then
    WINE32_WHY="$refusal, and $qemu is no qemu-i386 of version 8 or later"
    return
  fi
  binfmt_why="QX_QEMU_BINFMT=0"
  [ "${QX_QEMU_BINFMT:-}" = 0 ] || binfmt_why=$(wine_binfmt_fails)
  if [ -z "$binfmt_why" ]; then
    echo "== windows: $refusal; running again with i386 programs registered to qemu-i386 $version in a namespace of this run"
    export QX_WINE32_EMULATOR=$qemu QX_WINE32_REFUSAL=$refusal
    exec unshare --user --map-root-user --mount "$wine_binfmt_namespace" qemu "$qemu" "$@"
  fi
  wine_make_loader_folder "$qemu"
  QX_WINE32_LOADER=$wine_loader_folder/wine
  QX_WINE=$wine_loader_folder/wine64
  export WINELOADER=$QX_WINE
  WINE32_WHY=$(wine_loader_fails "$QX_WINE32_LOADER")
  WINE32_HOW="qemu-i386 $version emulation (a private Wine loader folder, $binfmt_why; $refusal)"
}

# QX_WINE32=refuse: the calling script runs again as on a kernel that refuses 32-bit programs.
# Where no user namespace can be made, that kernel's refusal is taken as given instead; the
# emulation then goes the way of such a machine without binfmt_misc all the same.
wine_refusing_kernel() {
  [ "${QX_WINE32:-}" = refuse ] && [ -z "${QX_WINE32_REFUSED:-}" ] || return 0
  local why
  why=$(wine_binfmt_fails)
  if [ -n "$why" ]; then
    export QX_WINE32_REFUSED="taken as given: $why"
    return 0
  fi
  echo "== windows: QX_WINE32=refuse: running again where this kernel refuses 32-bit programs"
  export QX_WINE32_REFUSED="made so by QX_WINE32=refuse"
  exec unshare --user --map-root-user --mount "$wine_binfmt_namespace" refuse "$@"
}

wine_probe() {
  wine_refusing_kernel "$@"
  WINE64_WHY=$(wine_loader_fails "$wine64_loader")
  WINE32_WHY="" WINE32_HOW="the 32-bit loader"
  QX_WINE32_LOADER=wine  # the wrapper, which runs the 32-bit loader
  QX_WINE=wine           # the wrapper hands 64-bit programs on to the 64-bit loader
  local refusal version
  if [ "${QX_WINE32:-}" = 0 ]; then
    WINE32_WHY="QX_WINE32=0 takes the path of a machine that cannot execute 32-bit programs"
  elif ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    if [ -s build/bootstrap-wine32-failure.txt ]; then
      WINE32_WHY=$(cat build/bootstrap-wine32-failure.txt)  # scripts/bootstrap.sh tried
    else
      WINE32_WHY="wine32:i386 is not installed (scripts/bootstrap.sh --tests installs it)"
    fi
  elif [ -n "${QX_WINE32_EMULATOR:-}" ]; then
    # Run again by wine32_emulate: i386 programs go to qemu in this namespace.
    WINE32_WHY=$(wine_loader_fails "$wine32_loader")
    version=$(qemu_usable_version "$QX_WINE32_EMULATOR") || version="(version unknown)"
    WINE32_HOW="qemu-i386 $version emulation (binfmt_misc of this run's own namespace; $QX_WINE32_REFUSAL)"
  else
    if [[ "${QX_WINE32_REFUSED:-}" == "taken as given"* ]]; then
      refusal="this kernel cannot execute 32-bit programs (QX_WINE32=refuse, taken as given)"
    else
      refusal=$(wine_loader_fails "$wine32_loader")
      [ -z "$refusal" ] || [ -z "${QX_WINE32_REFUSED:-}" ] || refusal+=", $QX_WINE32_REFUSED"
    fi
    case "$refusal" in
      "") ;;
      *"cannot execute 32-bit programs"*) wine32_emulate "$refusal" "$@" ;;
      *) WINE32_WHY=$refusal ;;
    esac
  fi
  WINE64_RUNS=1 WINE32_RUNS=1
  [ -z "$WINE64_WHY" ] || WINE64_RUNS=0
  [ -z "$WINE32_WHY" ] || WINE32_RUNS=0
  if [ "$WINE32_RUNS" = 0 ] || [ "$WINE32_HOW" != "the 32-bit loader" ]; then
    # Without the native 32-bit loader Wine's own tools start straight under the 64-bit one
    # (no detour through an emulated loader); Wine starts each further process through the
    # loader of its kind beside its own executable.
    [ "$QX_WINE" != wine ] || QX_WINE=$wine64_loader
    export WINELOADER=${WINELOADER:-$wine64_loader}
  fi
  export QX_WINE QX_WINE32_LOADER WINE64_RUNS WINE32_RUNS WINE64_WHY WINE32_WHY WINE32_HOW
}
