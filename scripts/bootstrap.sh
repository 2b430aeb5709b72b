#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need. Idempotent.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config git
  googletest libgtest-dev
  libzip-dev libpugixml-dev zlib1g-dev
  nlohmann-json3-dev libxlsxwriter-dev
  python3 python3-openpyxl python3-pil zip unzip locales
  clang libclang-rt-14-dev clang-format
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
need_wine32=0
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' || need_wine32=1

# A decimal-comma locale, so tests can prove that number texts ignore the host's locale.
make_locale() {
  locale -a 2>/dev/null | grep -qi '^de_DE.utf-\?8$' || localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true
}

if [ ${#missing[@]} -eq 0 ] && [ $need_wine32 -eq 0 ]; then
  make_locale
  echo "bootstrap: every package is installed"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ $need_wine32 -eq 1 ]; then
  # 32-bit Windows programs (tamarack.dll, the i686 tests) need the i386 Wine loader.
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends wine32:i386
fi
make_locale
echo "bootstrap: done"
