#!/usr/bin/env bash
# Runs a command with 32-bit x86 programs (i386 ELF) sent to an interpreter of our choosing, in
# this user namespace only: scripts/lib/wine.sh starts it under
# `unshare --user --map-root-user --mount`, where binfmt_misc can be mounted afresh (Linux 6.7
# and later give every user namespace a binfmt_misc of its own). Nothing outside the namespace
# sees the registration, and it is removed again when the command ends.
# Usage: binfmt-namespace.sh refuse COMMAND...      executing an i386 program fails with
#                                                   "Exec format error", as on a kernel
#                                                   without 32-bit support
#        binfmt-namespace.sh qemu EMULATOR COMMAND...  i386 programs run under EMULATOR
set -Eeuo pipefail

# i386 ELF as qemu-user's own binfmt description matches it: ELF, 32-bit, little-endian,
# version 1, an executable or shared object for the 80386.
magic='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
misc=/proc/sys/fs/binfmt_misc
entry=qx-i386

mount -t binfmt_misc qx-binfmt "$misc"
case "${1:?usage: binfmt-namespace.sh refuse|qemu EMULATOR COMMAND...}" in
  refuse)
    # F opens the interpreter now: the file may go at once. It is no program, so the kernel
    # finds no format for it and the i386 program fails as one of an unknown format.
    shift
    interpreter=$(mktemp "${TMPDIR:-/tmp}/qx-no-program.XXXXXX")
    echo "no program: i386 programs are refused in this namespace" >"$interpreter"
    chmod +x "$interpreter"
    flags=F ;;
  qemu)
    # F: the emulator is opened now; C: a program runs with its own credentials, which qemu
    # reads from the open file it is handed.
    interpreter=${2:?usage: binfmt-namespace.sh qemu EMULATOR COMMAND...}
    shift 2
    flags=FC ;;
  *) echo "binfmt-namespace: unknown use $1 (refuse or qemu)" >&2; exit 2 ;;
esac
printf ':%s:M::%s:%s:%s:%s\n' "$entry" "$magic" "$mask" "$interpreter" "$flags" >"$misc/register"
[ "$flags" != F ] || rm -f "$interpreter"

status=0
"$@" || status=$?
echo -1 >"$misc/$entry"
exit "$status"
