#!/usr/bin/env bash
# Builds the engine's libraries for the Windows presets: libzip and pugixml from the Debian 12
# source packages of the very versions the Linux build links (libzip-dev, libpugixml-dev),
# compiled with the mingw-w64 toolchains as static libraries; zlib is Debian's
# libz-mingw-w64-dev. Each architecture lands in build/windows-deps/<triplet>/ and is rebuilt
# only when a version, the toolchain or this script changes.
#
# The sources come through apt with a deb-src list of this script's own, in an apt state folder
# of its own (nothing of the system's apt configuration changes): apt checks the archive's
# signature with the Debian archive keyring and every downloaded file against the signed
# index, and dpkg-source checks the tarballs against the .dsc again when it unpacks them and
# applies Debian's patches.
#
# Usage: scripts/windows-deps.sh [x86_64] [i686]   (both by default)
set -Eeuo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/steps.sh
on_error_say windows-deps

arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(x86_64 i686)
root=$PWD
out=$root/build/windows-deps
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

# The source version of the Debian package the Linux build uses.
source_version() {
  local version
  version=$(dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null) || true
  if [ -z "$version" ]; then
    echo "windows-deps: $1 is not installed (scripts/bootstrap.sh installs it)" >&2
    exit 1
  fi
  echo "$version"
}
libzip_version=$(source_version libzip-dev)
pugixml_version=$(source_version libpugixml-dev)
for package in libz-mingw-w64-dev dpkg-dev; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || {
    echo "windows-deps: $package is not installed (scripts/bootstrap.sh --tests installs it)" >&2
    exit 1
  }
done
[ -r "$keyring" ] || { echo "windows-deps: $keyring is missing (debian-archive-keyring)" >&2; exit 1; }

src=$out/src
apt_options=(
  -o "Dir::Etc::SourceList=$src/apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
  -o "Dir::State::Lists=$src/apt/lists" -o "Dir::Cache=$src/apt/cache"
  -o "Dir::State::status=/var/lib/dpkg/status" -o APT::Sandbox::User="$(id -un)"
)

# Downloads and unpacks `package` at `version` into $src/<package>-<version>, once.
fetch() {
  local package=$1 version=$2 tree=$src/$1-$2
  [ -f "$tree/.unpacked" ] && return 0
  mkdir -p "$src/apt/lists/partial" "$src/apt/cache/archives/partial" "$src/download"
  cat >"$src/apt/sources.list" <<EOF
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm main
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security main
EOF
  if [ ! -f "$src/apt/updated" ]; then
    run_quiet "windows-deps: apt-get update (deb-src)" apt-get "${apt_options[@]}" update
    touch "$src/apt/updated"
  fi
  (cd "$src/download" &&
    run_quiet "windows-deps: apt-get source $package=$version" \
      apt-get "${apt_options[@]}" source --download-only "$package=$version")
  rm -rf "$tree"
  local dsc
  dsc=$(ls "$src/download/${package}_${version#*:}.dsc")
  run_quiet "windows-deps: dpkg-source -x $package" \
    dpkg-source --require-strong-checksums -x "$dsc" "$tree"
  touch "$tree/.unpacked"
}

# One CMake project built and installed for one architecture.
build() {
  local name=$1 tree=$2 triplet=$3 toolchain=$4 prefix=$5
  shift 5
  local dir=$out/build/$triplet/$name
  rm -rf "$dir"
  run_quiet "windows-deps: configure $name ($triplet)" \
    cmake -S "$tree" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON \
    "$@"
  run_quiet "windows-deps: build $name ($triplet)" cmake --build "$dir" -j2
  run_quiet "windows-deps: install $name ($triplet)" cmake --install "$dir"
}

for arch in "${arches[@]}"; do
  case "$arch" in
    x86_64 | i686) ;;
    *) echo "windows-deps: unknown architecture $arch (x86_64 or i686)" >&2; exit 2 ;;
  esac
  triplet=$arch-w64-mingw32
  toolchain=$root/cmake/mingw-w64-$arch.cmake
  prefix=$out/$triplet
  compiler=$("$triplet-g++-posix" -dumpversion 2>/dev/null) || {
    echo "windows-deps: $triplet-g++-posix is missing (scripts/bootstrap.sh --tests)" >&2
    exit 1
  }
  stamp="libzip $libzip_version; pugixml $pugixml_version; zlib $(source_version libz-mingw-w64-dev)"
  stamp+="; g++ $compiler; $(sha256sum "$0" "$toolchain" | cut -c1-16 | tr '\n' ' ')"
  if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ]; then
    echo "windows-deps: $triplet is up to date ($prefix)"
    continue
  fi
  echo "windows-deps: building libzip $libzip_version and pugixml $pugixml_version for $triplet"
  fetch libzip "$libzip_version"
  fetch pugixml "$pugixml_version"
  rm -rf "$prefix"
  # zlib only, from libz-mingw-w64-dev, linked statically (no zlib1.dll beside the
  # deliverables); no encryption, so no Windows cryptography libraries either.
  build libzip "$src/libzip-$libzip_version" "$triplet" "$toolchain" "$prefix" \
    -DZLIB_USE_STATIC_LIBS=ON -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF \
    -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF \
    -DENABLE_LZMA=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF
  build pugixml "$src/pugixml-$pugixml_version" "$triplet" "$toolchain" "$prefix" \
    -DPUGIXML_BUILD_TESTS=OFF
  echo "$stamp" >"$prefix/.stamp"
  echo "windows-deps: $triplet ready in $prefix"
done
