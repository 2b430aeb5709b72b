#!/usr/bin/env bash
# Fetches the user-mode emulator that runs Wine's 32-bit loader where this kernel refuses
# 32-bit programs: qemu-i386 of Debian's qemu-user from bookworm-backports. Debian 12's own
# qemu (7.2) runs plain 32-bit programs but is far too slow for Wine: the loader's reservation
# of its address space alone takes minutes under it, and a prefix did not boot in 10; under the
# backports' one (10.0) a prefix boots in about half a minute.
#
# The package comes through apt with a list of this script's own, in an apt state folder of
# its own (nothing of the system's apt configuration changes and nothing is installed): apt
# checks the archive's signature with the Debian archive keyring and the downloaded .deb
# against the signed index. The static /usr/bin/qemu-i386 is then taken out of the .deb with
# dpkg-deb, with the package's own binfmt_misc description of i386 programs beside it.
#
# Usage: scripts/windows-qemu.sh   prints the emulator's path; fetches it once, into
#                                  build/windows-deps/qemu/ (remove that folder to fetch anew)
set -Eeuo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/steps.sh
on_error_say windows-qemu

out=$PWD/build/windows-deps/qemu
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
emulator=$out/qemu-i386
if [ -x "$emulator" ] && [ -f "$out/qemu-i386.conf" ]; then
  echo "$emulator"
  exit 0
fi
[ -r "$keyring" ] || { echo "windows-qemu: $keyring is missing (debian-archive-keyring)" >&2; exit 1; }

apt=$out/apt
rm -rf "$out"
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts" "$out/download"
echo "deb [signed-by=$keyring arch=amd64] http://deb.debian.org/debian bookworm-backports main" \
  >"$apt/sources.list"
apt_options=(
  -o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
  -o "Dir::Etc::Preferences=$apt/parts/none" -o "Dir::Etc::PreferencesParts=$apt/parts"
  -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache"
  -o "Dir::State::status=/var/lib/dpkg/status" -o APT::Sandbox::User="$(id -un)"
)
run_quiet "windows-qemu: apt-get update (bookworm-backports)" apt-get "${apt_options[@]}" update >&2
version=$(apt-cache "${apt_options[@]}" madison qemu-user |
  awk -F' [|] ' '$3 ~ /bookworm-backports/ { print $2; exit }')
[ -n "$version" ] || { echo "windows-qemu: bookworm-backports has no qemu-user" >&2; exit 1; }
(cd "$out/download" &&
  run_quiet "windows-qemu: apt-get download qemu-user=$version" \
    apt-get "${apt_options[@]}" download "qemu-user=$version") >&2
deb=$(ls "$out"/download/qemu-user_*.deb)
dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$out/download" ./usr/bin/qemu-i386 \
  ./usr/share/qemu/binfmt.d/qemu-i386.conf
mv "$out/download/usr/share/qemu/binfmt.d/qemu-i386.conf" "$out/qemu-i386.conf"
mv "$out/download/usr/bin/qemu-i386" "$emulator"
echo "$version" >"$out/version"
rm -rf "$out/download" "$apt/cache"
echo "windows-qemu: qemu-user $version from bookworm-backports: $emulator" >&2
echo "$emulator"
