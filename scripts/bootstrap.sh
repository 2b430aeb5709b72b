#!/usr/bin/env bash
# Installs the Debian packages the project needs. Idempotent.
#   scripts/bootstrap.sh           what the Linux exporters, the sample host (and its man page,
#                                  made with help2man) and the demo need
#   scripts/bootstrap.sh --tests   also what the tests need: clang for the fuzz targets, mingw-w64
#                                  and Wine for the Windows builds (with the i386 architecture
#                                  for 32-bit Windows programs), the independent readers
#                                  (openpyxl, LibreOffice), lintian for the .deb packages and lxml
#                                  for the strict check of saved packages against the ECMA-376 schemas
set -Eeuo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/steps.sh
on_error_say bootstrap

tests=0
case "${1:-}" in
  "") ;;
  --tests) tests=1 ;;
  *) echo "usage: scripts/bootstrap.sh [--tests]" >&2; exit 2 ;;
esac

packages=(
  cmake ninja-build g++ pkg-config
  googletest libgtest-dev
  libzip-dev libpugixml-dev zlib1g-dev libisal-dev
  nlohmann-json3-dev rapidjson-dev libxlsxwriter-dev
  python3 python3-openpyxl
  help2man
)
if [ $tests -eq 1 ]; then
  packages+=(
    git python3-pil python3-lxml zip unzip locales libreoffice-calc-nogui
    clang libclang-rt-14-dev clang-format
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64
    libz-mingw-w64-dev dpkg-dev debian-archive-keyring
    lintian man-db procps
  )
fi

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
need_wine32=0
[ $tests -eq 0 ] || installed wine32:i386 || need_wine32=1

# A decimal-comma locale, so tests can prove that number texts ignore the host's locale; and
# the Chinese one that the Windows tests give Wine, which names files in the locale's
# character set (without it, a file name in Chinese cannot be created under Wine).
make_locale() {
  [ $tests -eq 1 ] || return 0
  locale -a 2>/dev/null | grep -qi '^de_DE.utf-\?8$' ||
    run_quiet "bootstrap: localedef de_DE.UTF-8" localedef -i de_DE -f UTF-8 de_DE.UTF-8 ||
    echo "bootstrap: no de_DE.UTF-8 locale; the tests that need it say so and skip"
  locale -a 2>/dev/null | grep -qi '^zh_CN.utf-\?8$' ||
    run_quiet "bootstrap: localedef zh_CN.UTF-8" localedef -i zh_CN -f UTF-8 zh_CN.UTF-8 ||
    echo "bootstrap: no zh_CN.UTF-8 locale; the Windows test of a Chinese template path fails"
}

if [ ${#missing[@]} -eq 0 ] && [ $need_wine32 -eq 0 ]; then
  make_locale
  echo "bootstrap: every package is installed"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync serves index files of the wrong size for a while ("File has
# unexpected size ... Mirror sync in progress?"), so a failed update is tried again. When it
# keeps failing apt has said which index it ignored, and the install that follows shows
# whether what we need is still there.
apt_update() {
  local label=$1 attempt
  for attempt in 1 2 3; do
    run_quiet "$label" $SUDO apt-get update -qq && return 0
    [ $attempt -eq 3 ] && break
    echo "$label: attempt $attempt of 3 failed; trying again in $((attempt * 20)) s"
    sleep $((attempt * 20))
  done
  echo "$label: failed 3 times; going on with the package lists apt has"
  return 1
}
apt_update "bootstrap: apt-get update" || true
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  run_quiet "bootstrap: apt-get install" \
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# 32-bit Windows programs (tamarack.dll, the i686 tests) need the i386 Wine loader. Installed
# also where this kernel cannot run it: the Windows tests find that out and say so. Where the
# archive cannot give it (an i386 index the mirror serves broken, say) nothing else depends on
# it: the reason is left where the Windows tests read it, and they say they did not run the
# 32-bit programs and why.
wine32_failure=build/bootstrap-wine32-failure.txt
install_wine32() {
  echo "bootstrap: installing wine32:i386"
  dpkg --print-foreign-architectures | grep -qx i386 ||
    run_quiet "bootstrap: dpkg --add-architecture i386" $SUDO dpkg --add-architecture i386 ||
    return 1
  apt_update "bootstrap: apt-get update (i386)" ||
    update_failure=$(grep -m1 -E '^E: ' "$(qx_step_log "bootstrap: apt-get update (i386)")")
  run_quiet "bootstrap: apt-get install wine32:i386" \
    $SUDO apt-get install -y -qq --no-install-recommends wine32:i386
}
update_failure=""
if [ $need_wine32 -eq 1 ]; then
  rm -f "$wine32_failure"
  if ! install_wine32; then
    mkdir -p build
    log=$(qx_step_log "bootstrap: apt-get install wine32:i386")
    reason=${update_failure:-$(grep -m1 -E '^E: ' "$log" 2>/dev/null || true)}
    echo "wine32:i386 could not be installed${reason:+ (apt: ${reason#E: })}" >"$wine32_failure"
    echo "bootstrap: $(cat "$wine32_failure"); the 32-bit Windows tests will not run"
  fi
fi
make_locale
echo "bootstrap: done"
