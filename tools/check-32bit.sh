#!/usr/bin/env bash
# The 32-bit targets: cross-builds the Windows module and checks the file the
# host will load, then builds everything for 32-bit x86 Linux and runs the
# whole test suite there: natively where the kernel runs i386 programs (see
# tools/kernel-runs-32bit.sh), else under qemu-i386; and the 32-bit ostrel's
# pictures (png) against the native build's, byte for byte.
#
# Needs the Debian packages g++-mingw-w64-i686, g++-multilib, googletest and
# cmake, and qemu-user-static where the kernel does not run 32-bit code.
set -euo pipefail
cd "$(dirname "$0")/.."

start=$SECONDS
step() { printf '\n== %s (%ds)\n' "$*" $((SECONDS - start)); }

# OSTREL_M32_QEMU=1 takes the qemu way even where native runs would work.
if [ "${OSTREL_M32_QEMU:-}" != 1 ] && tools/kernel-runs-32bit.sh; then
    native=ON
    run=()
else
    native=OFF
    run=(qemu-i386-static)
fi

missing=()
for tool in cmake i686-w64-mingw32-g++-win32 ${run[0]:-}; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(/usr/src/googletest)
[ -e /usr/lib/gcc/x86_64-linux-gnu/12/32/libstdc++.so ] ||
    ls /usr/lib/gcc/x86_64-linux-gnu/*/32/libstdc++.so >/dev/null 2>&1 || missing+=("32-bit libstdc++")
if [ ${#missing[@]} -gt 0 ]; then
    echo "check-32bit: missing ${missing[*]}" >&2
    echo "install: apt-get install g++-mingw-w64-i686 g++-multilib qemu-user-static googletest" >&2
    exit 2
fi

step "win32: cross-building ostrel.p for 32-bit Windows"
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target ostrel_module

step "m32: building the module checker for 32-bit Linux"
# The discovered test lists carry the way of running; a switch must redo them.
if [ -f build-m32/CMakeCache.txt ] &&
    ! grep -qx "OSTREL_M32_NATIVE:BOOL=$native" build-m32/CMakeCache.txt; then
    find build-m32 -name '*_tests.cmake' -path '*\[*' -delete
fi
cmake --preset m32 -DOSTREL_M32_NATIVE=$native >/dev/null
cmake --build --preset m32 --target ostrel-checkdll

# The manual page runs the build's own ostrel. This machine builds one way
# only; the other way's rule is configured aside and must name the program
# by its path (a bare word is left to the shell's PATH, and fails there).
rule_names_path() { # rule_names_path BUILD-DIR NATIVE
    local rule
    rule=$(grep -rh -e ' --help > [^ ]*/man/help\.txt' "$1" --include=build.make --include=build.ninja |
        head -n 1)
    if [ "$2" = ON ]; then
        [[ $rule =~ (^|[\ \;\&])[^\ ]*/ostrel\ --help ]] && [[ $rule != *qemu* ]]
    else
        [[ $rule =~ qemu-i386[^\ ]*\ [^\ ]*/ostrel\ --help ]]
    fi || {
        echo "check-32bit: the manual page's rule (OSTREL_M32_NATIVE=$2) does not run ostrel by its path:" >&2
        echo "  ${rule:-(no rule found in $1)}" >&2
        return 1
    }
    echo "  OSTREL_M32_NATIVE=$2: ${rule#*&& }"
}
other=$([ $native = ON ] && echo OFF || echo ON)
aside=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-m32-$other.XXXXXX")
trap 'rm -rf "$aside"' EXIT
# Only configured: the emulator need not be installed for its rule.
if ! cmake --preset m32 -B "$aside" -DOSTREL_M32_NATIVE=$other \
    -DOSTREL_QEMU_I386="$(command -v qemu-i386-static || echo qemu-i386-static)" >"$aside/configure.log" 2>&1; then
    cat "$aside/configure.log" >&2
    exit 1
fi
step "m32: the manual page's rule, this way and the other"
rule_names_path build-m32 $native
rule_names_path "$aside" $other
rm -rf "$aside"

step "win32: checking build-win32/ostrel.p (PE32 i386 DLL, one export, system imports, descriptor)"
"${run[@]}" build-m32/ostrel-checkdll build-win32/ostrel.p
if command -v i686-w64-mingw32-objdump >/dev/null; then
    echo "objdump agrees:"
    i686-w64-mingw32-objdump -p build-win32/ostrel.p |
        sed -n -e 's/^\tDLL Name: /  imports /p' -e 's/^\t\[ *[0-9]*\] \([^ ]*\)$/  exports \1/p'
fi

step "m32: building module, stand-in host and tests for 32-bit x86 Linux"
cmake --build --preset m32
for binary in build-m32/ostrel.p build-m32/ostrel; do
    [ -e "$binary" ] || continue
    # ELF class byte 1 = 32-bit, machine 3 = i386.
    header=$(od -An -tx1 -N20 "$binary" | tr -d ' \n')
    if [ "${header:8:2}" != 01 ] || [ "${header:36:4}" != 0300 ]; then
        echo "check-32bit: $binary is not a 32-bit i386 ELF file" >&2
        exit 1
    fi
    echo "  $binary: ELF32 i386"
done

step "m32: running the test suite ${run[0]:+under }${run[0]:-natively}"
ctest --preset m32 -j2

step "m32: the pictures, byte for byte as the native build draws them"
cmake --preset default >/dev/null
cmake --build --preset default --target ostrel ostrel_module generate-model >/dev/null
pictures=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-m32-pictures.XXXXXX")
trap 'rm -rf "$pictures"' EXIT
build/generate-model --size 1 --seed 7 "$pictures/generated.rk4" >/dev/null
models=(examples/*.rk4 tests/data/*.rk4 "$pictures/generated.rk4")
# A batch holding a damaged file ends with its status (9), whatever was
# drawn: both builds must end the same way.
for size in 64 512; do
    nativeStatus=0
    build/ostrel "${models[@]}" --out-dir "$pictures/native-$size" --format png --size $size \
        --quiet --salvage >/dev/null 2>"$pictures/native.err" || nativeStatus=$?
    m32Status=0
    "${run[@]}" build-m32/ostrel "${models[@]}" --out-dir "$pictures/m32-$size" --format png \
        --size $size --quiet --salvage >/dev/null 2>"$pictures/m32.err" || m32Status=$?
    if [ "$nativeStatus" != "$m32Status" ]; then
        echo "check-32bit: the 32-bit ostrel ended with $m32Status, the native one with $nativeStatus" >&2
        cat "$pictures/native.err" "$pictures/m32.err" >&2
        exit 1
    fi
    diff -r "$pictures/native-$size" "$pictures/m32-$size"
    echo "  $(ls "$pictures/m32-$size" | wc -l) pictures at $size pixels: the same bytes, exit $m32Status"
done

step "done: win32 module checked, 32-bit test suite passed, pictures the same"
