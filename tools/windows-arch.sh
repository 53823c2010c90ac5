#!/usr/bin/env bash
# Which Windows trees this machine tests: prints "x86" (the i686 trees under
# wine32 in a win32 prefix) or "x64" (the x86-64 trees under wine64 in a
# win64 prefix), and on stderr one line with the reason.
#
#   tools/windows-arch.sh [x86|x64]    an argument (make's WINDOWS_ARCH) forces it
#
# The choice is made by trying: a minimal static i386 program (an exit
# system call, assembled here with binutils) is started. A kernel without
# 32-bit user code refuses it with ENOEXEC, and then wine32 cannot run
# either; the kernel's version says nothing about that.
set -uo pipefail
say() { echo "windows-arch: $1 ($2)" >&2; echo "$1"; }
case ${1:-} in
  x86|x64) say "$1" "forced by WINDOWS_ARCH=$1"; exit 0 ;;
  "") ;;
  *) echo "windows-arch: WINDOWS_ARCH must be x86 or x64, not '$1'" >&2; exit 2 ;;
esac
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$tmp/t.s"
if ! as --32 -o "$tmp/t.o" "$tmp/t.s" 2>/dev/null || ! ld -m elf_i386 -o "$tmp/t" "$tmp/t.o" 2>/dev/null; then
  say x64 "could not make a 32-bit test program, so 32-bit code is not counted on"
  exit 0
fi
if "$tmp/t" 2>/dev/null; then
  say x86 "a 32-bit program runs here"
else
  say x64 "a 32-bit program does not start here: 64-bit user code only"
fi
