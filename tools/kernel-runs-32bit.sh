#!/usr/bin/env bash
# Says in one line whether this machine's kernel runs 32-bit x86 programs,
# by building and running the static program tools/probe-32bit.c. Exit 0:
# it does; 1: it does not; 2: the probe cannot be built; with the reason.
# The 32-bit stages use this to run natively, fall back to qemu, or skip.
set -uo pipefail
cd "$(dirname "$0")/.."

dir=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-probe32.XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT

if ! build=$(gcc -m32 -static -O2 -o "$dir/probe" tools/probe-32bit.c 2>&1); then
    echo "32-bit x86: cannot tell, the static probe does not build ($(head -n1 <<<"$build"))"
    exit 2
fi
out=$("$dir/probe" 2>&1)
case $? in
0)
    echo "32-bit x86: the kernel runs it natively"
    exit 0
    ;;
126 | 127) # the shell's own message: keep the system's reason
    out="the static probe cannot be executed: ${out##*: }"
    ;;
esac
echo "32-bit x86: the kernel does not run it (${out:-the static probe failed})"
exit 1
