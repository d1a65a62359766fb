#!/usr/bin/env bash
# The Blender add-on as users get it: builds its zip (the blender preset,
# with the win32 preset's converter for Windows), checks what the zip holds
# and that its Linux converter needs nothing beyond the C library and the
# system's loader (from C library 2.35 on), then lets Debian's Blender,
# headless with a scratch user folder, install and enable the zip and import
# every example, every test model and a few generated models
# (blender/tests/check_addon.py), rendering the cube with Cycles.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-blender.XXXXXX")
trap 'rm -rf "$work"' EXIT
. tools/checks.sh

{ cmake --preset default >/dev/null &&
    cmake --build --preset default --target ostrel ostrel_module generate-model >/dev/null &&
    cmake --preset win32 >/dev/null &&
    cmake --build --preset win32 --target ostrel ostrel_module >/dev/null &&
    cmake --preset blender >/dev/null &&
    cmake --build --preset blender >/dev/null; } || { echo "building the add-on's zip failed"; exit 1; }
zip=$(ls build-blender/ostrel-blender-*.zip)

mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$root/$zip")
package=$work/zip/io_import_ostrel
for file in __init__.py bin/linux-x86_64/ostrel bin/linux-x86_64/ostrel.p bin/windows/ostrel.exe \
    bin/windows/ostrel.p licences/ostrel.txt licences/gcc-runtime-libraries.txt; do
    check "$zip holds io_import_ostrel/$file" test -f "$package/$file"
done
check "$zip holds one folder" same folders io_import_ostrel "$(ls "$work/zip")"
for file in ostrel ostrel.p; do
    binary=$package/bin/linux-x86_64/$file
    needed=$(readelf -d "$binary" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' |
        grep -v -x -E 'libc\.so\.6|libm\.so\.6|libdl\.so\.2|ld-linux-x86-64\.so\.2' | xargs)
    check "$file needs only the C library and the loader" same "other libraries" "" "$needed"
    newest=$(objdump -T "$binary" | grep -o 'GLIBC_[0-9.]*' | sort -u -V | tail -n 1)
    check "$file runs on C library 2.35" same "newest symbol version" GLIBC_2.35 "$newest"
done
# A PE file for the i386 machine (0x14c): "MZ", and at the offset in 0x3c "PE\0\0" and the machine.
pe_i386() {
    python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read(4096); o = struct.unpack_from("<I", d, 0x3c)[0]
sys.exit(not (d[:2] == b"MZ" and d[o:o + 6] == b"PE\0\0\x4c\x01"))' "$1"
}
for file in ostrel.exe ostrel.p; do
    check "bin/windows/$file is a 32-bit Windows file" pe_i386 "$package/bin/windows/$file"
done

# Models: the examples, the test models, and generated ones of 976 and
# 9,485 points.
build/generate-model --size 0.1 --seed 3 "$work/generated-small.rk4" >/dev/null &&
    build/generate-model --size 1 --seed 5 "$work/generated.rk4" >/dev/null ||
    { echo "generate-model failed"; exit 1; }
models=(examples/cube.rk4 examples/freelines.rk4 examples/tetrahedron.rk4 tests/data/*.rk4
    "$work/generated-small.rk4" "$work/generated.rk4")

home=$work/home
mkdir -p "$home/config" "$home/scripts"
run_blender() {
    HOME=$home XDG_CONFIG_HOME=$home/config BLENDER_USER_SCRIPTS=$home/scripts \
        blender -b --factory-startup --python-exit-code 1 \
        --python blender/tests/check_addon.py -- --zip "$zip" --ostrel build/ostrel \
        --work "$work/out" --picture "$work/cube.png" "${models[@]}" >"$work/blender.out" 2>&1
}
check "Blender installs the zip and imports every model as the host received it" run_blender
grep -E '^(FAILED|smoothing|add-on checks)|Traceback|Error' "$work/blender.out"
grep -q '^add-on checks: ' "$work/blender.out" || tail -n 30 "$work/blender.out"
check "the render is a PNG" same signature "89504e470d0a1a0a" "$(head -c 8 "$work/cube.png" | od -An -tx1 | tr -d ' \n')"

echo "Blender add-on: $passed passed, $failed failed"
((failed == 0))
