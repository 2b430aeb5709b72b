# Sourced by the Windows scripts: finds out what this machine can run under Wine, once.
#   wine_probe   sets QX_WINE (the command that runs Wine's own tools, such as wineboot and reg),
#                WINE64_RUNS / WINE32_RUNS (1 or 0) and WINE64_WHY / WINE32_WHY (why not).
# QX_WINE32=0 in the environment takes the path of a machine that cannot run 32-bit programs.

wine64_loader=/usr/lib/wine/wine64
wine32_loader=/usr/lib/wine/wine

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

wine_probe() {
  WINE64_WHY=$(wine_loader_fails "$wine64_loader")
  if [ "${QX_WINE32:-}" = 0 ]; then
    WINE32_WHY="QX_WINE32=0 takes the path of a machine that cannot execute 32-bit programs"
  elif ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    WINE32_WHY="wine32:i386 is not installed (scripts/bootstrap.sh --tests installs it)"
  else
    WINE32_WHY=$(wine_loader_fails "$wine32_loader")
  fi
  WINE64_RUNS=1 WINE32_RUNS=1
  [ -z "$WINE64_WHY" ] || WINE64_RUNS=0
  [ -z "$WINE32_WHY" ] || WINE32_RUNS=0
  if [ "$WINE32_RUNS" = 1 ]; then
    QX_WINE=wine  # the wrapper, which hands 64-bit programs on to the 64-bit loader
  else
    # Without the 32-bit loader every Wine process, also those Wine starts itself, goes
    # through the 64-bit one.
    QX_WINE=$wine64_loader
    export WINELOADER=$wine64_loader
  fi
  export QX_WINE WINE64_RUNS WINE32_RUNS WINE64_WHY WINE32_WHY
}
