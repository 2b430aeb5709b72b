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
run_quiet "bootstrap: apt-get update" $SUDO apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  run_quiet "bootstrap: apt-get install" \
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ $need_wine32 -eq 1 ]; then
  # 32-bit Windows programs (tamarack.dll, the i686 tests) need the i386 Wine loader. Installed
  # also where this kernel cannot run it: the Windows tests find that out and say so.
  echo "bootstrap: installing wine32:i386"
  dpkg --print-foreign-architectures | grep -qx i386 ||
    run_quiet "bootstrap: dpkg --add-architecture i386" $SUDO dpkg --add-architecture i386
  run_quiet "bootstrap: apt-get update (i386)" $SUDO apt-get update -qq
  run_quiet "bootstrap: apt-get install wine32:i386" \
    $SUDO apt-get install -y -qq --no-install-recommends wine32:i386
fi
make_locale
echo "bootstrap: done"
