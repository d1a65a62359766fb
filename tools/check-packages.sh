#!/usr/bin/env bash
# The packages as a user gets them: builds the Debian package (default
# preset) and the Windows ZIPs for 64-bit and 32-bit hosts (win64 and win32
# presets) with CPack, checks what each holds, installs the .deb with dpkg,
# converts an example with the installed `ostrel`, imports one into Debian's
# Blender through the installed add-on (which runs /usr/bin/ostrel) and
# removes the package again; then unpacks each ZIP, checks its ostrel.p with
# the module checker and runs its ostrel.exe under the Wine of its width (and
# registers, uses and removes the 64-bit ZIP's thumbnail handler).
# Every converted file must be byte-identical to the build tree's. The 64-bit
# ZIP runs everywhere; the 32-bit one's Wine run is skipped, in one line,
# where the kernel does not run 32-bit code or the 32-bit Wine is missing.
#
# Needs cmake, dpkg-dev (CPack's dependency list), both mingw-w64 toolchains,
# and for the Wine part wine64, and wine and wine32:i386. Installing needs
# root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

start=$SECONDS
step() { printf '\n== %s (%ds)\n' "$*" $((SECONDS - start)); }
fail() {
    echo "check-packages: $*" >&2
    exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-packages.XXXXXX")
installed=
cleanup() {
    if [ -n "$installed" ]; then
        $sudo dpkg -r ostrel >/dev/null 2>&1 || echo "check-packages: could not remove the package ostrel" >&2
    fi
    # The prefix's wineserver outlives the last program by a few seconds and
    # writes the registry into the prefix as it ends.
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -w 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

if [ "$(id -u)" -eq 0 ]; then
    sudo=
elif sudo -n true 2>/dev/null; then
    sudo=sudo
else
    sudo=none
fi

# dpkg refuses at once while another dpkg or apt holds its lock.
dpkg_retry() {
    local tries=0 out
    until out=$($sudo dpkg "$@" 2>&1); do
        if ! grep -q -i lock <<<"$out" || ((++tries >= 60)); then
            echo "$out" >&2
            return 1
        fi
        sleep 2
    done
}

# Every example converted to each of $formats by the command RUN..., run in
# a folder that holds examples/; same_files compares the results with those
# of the build tree's ostrel in $work/expected.
convert_all() { # convert_all OUTDIR RUN...
    local out=$1
    shift
    mkdir -p "$out"
    for model in cube freelines tetrahedron; do
        for format in $formats; do
            "$@" "examples/$model.rk4" -o "$out/$model.$format" >/dev/null ||
                fail "$* examples/$model.rk4 -o $out/$model.$format: exit $?"
        done
    done
}
same_files() { # same_files DIR
    local file
    for file in "$work/expected"/*; do
        cmp -s "$file" "$1/${file##*/}" || fail "$1/${file##*/} differs from the build tree's"
    done
    echo "  $(ls "$work/expected" | wc -l) files, byte-identical to the build tree's"
}

step "the web page both packages carry"
web/build-page.sh || fail "the web page cannot be built (web/build-page.sh)"

step "deb: building the default preset and the Debian package"
cmake --preset default >/dev/null
cmake --build --preset default
formats=$(build/ostrel --version | sed -n 's/^outputs: //p')
[ -n "$formats" ] || fail "build/ostrel --version names no output format"
rm -f build/ostrel_*.deb
cpack --preset deb >/dev/null
deb=$(ls build/ostrel_*.deb)
echo "  $deb: $(stat -c %s "$deb") bytes"
(cd "$root" && convert_all "$work/expected" build/ostrel)

step "deb: contents"
listing=$(dpkg-deb -c "$deb")
for entry in "./usr/bin/ostrel -> ../lib/ostrel/ostrel" ./usr/lib/ostrel/ostrel \
    ./usr/lib/ostrel/ostrel.p ./usr/lib/ostrel/libostrel_engine.so ./usr/share/doc/ostrel/copyright ./usr/share/doc/ostrel/README.md \
    ./usr/share/doc/ostrel/examples/cube.rk4 ./usr/share/ostrel/ostrel.html \
    ./usr/share/man/man1/ostrel.1.gz ./usr/lib/python3/dist-packages/ostrel/__init__.py \
    "./usr/lib/python3/dist-packages/ostrel/libostrel_engine.so -> ../../../ostrel/libostrel_engine.so" \
    ./usr/share/blender/scripts/addons/io_import_ostrel/__init__.py; do
    grep -q -F -- " $entry" <<<"$listing" || fail "$deb lacks $entry"
done
dpkg-deb -x "$deb" "$work/deb"
copyright=$work/deb/usr/share/doc/ostrel/copyright
grep -q "MIT License" "$copyright" || fail "the package's copyright lacks the project's licence"
parts=(stb) # the png writer's encoder, always built in
[[ " $formats " == *" glb "* ]] && parts+=(nlohmann-json)
for part in "${parts[@]}"; do
    grep -q "Built into ostrel: $part" "$copyright" || fail "the package's copyright lacks $part"
done
# The manual page is --help itself, word for word.
zcat "$work/deb/usr/share/man/man1/ostrel.1.gz" | grep -q -F -- "--strict" ||
    fail "the manual page lacks the text of --help"
echo "  program and module in /usr/lib/ostrel, /usr/bin/ostrel links there; docs, examples, copyright, man page"

if [ "$sudo" = none ]; then
    step "deb: not root and no sudo: running the unpacked package instead of installing it"
    bin=$work/deb/usr/bin/ostrel
    examples=$work/deb/usr/share/doc/ostrel
else
    step "deb: installing with dpkg"
    installed=yes
    dpkg_retry -i "$deb"
    bin=$(command -v ostrel) || fail "ostrel is not on the PATH after installing"
    [ "$bin" = /usr/bin/ostrel ] || fail "ostrel on the PATH is $bin, not /usr/bin/ostrel"
    examples=/usr/share/doc/ostrel
fi
version=$("$bin" --version | head -n 1)
[ "$version" = "ostrel 1.4" ] || fail "$bin --version: '$version'"
echo "  $bin --version: $version; outputs: $formats"
(cd "$examples" && convert_all "$work/installed" "$bin")
same_files "$work/installed"

if [ -n "$installed" ]; then
    step "deb: Debian's python3 imports the package, which loads the installed engine"
    line=$(cd "$work" && /usr/bin/python3 -c '
import ostrel
model = ostrel.load("/usr/share/doc/ostrel/examples/cube.rk4")
print(ostrel.__file__, ostrel.engine().path, len(model.points), len(model.polygon_sizes))') ||
        fail "Debian's python3 cannot use the installed package"
    [ "$line" = "/usr/lib/python3/dist-packages/ostrel/__init__.py /usr/lib/ostrel/libostrel_engine.so 8 6" ] ||
        fail "Debian's python3 and the installed package: '$line'"
    echo "  import ostrel: /usr/lib/python3/dist-packages, engine /usr/lib/ostrel: the cube, 8 points, 6 polygons"
fi

if [ -n "$installed" ] && command -v blender >/dev/null; then
    step "deb: Debian's Blender finds the add-on, which loads the installed engine"
    mkdir -p "$work/blender/config" "$work/blender/scripts"
    HOME=$work/blender XDG_CONFIG_HOME=$work/blender/config BLENDER_USER_SCRIPTS=$work/blender/scripts \
        blender -b --factory-startup --python-exit-code 1 --python-expr '
import sys
sys.dont_write_bytecode = True  # no byte code left in the add-on folder of the package
import bpy
bpy.ops.preferences.addon_enable(module="io_import_ostrel")
import io_import_ostrel as addon
where, used = addon.__file__, addon.engine.find("").path
bpy.ops.import_scene.rk4(filepath="/usr/share/doc/ostrel/examples/cube.rk4")
mesh = bpy.data.objects["cube"].data
print("imported:", where, used, len(mesh.vertices), len(mesh.polygons), len(mesh.materials))
' >"$work/blender.out" 2>&1 || { cat "$work/blender.out"; fail "Blender cannot use the installed add-on"; }
    line=$(grep '^imported:' "$work/blender.out")
    [ "$line" = "imported: /usr/share/blender/scripts/addons/io_import_ostrel/__init__.py /usr/lib/ostrel/libostrel_engine.so 8 6 3" ] ||
        fail "Blender and the installed add-on: '$line'"
    echo "  the add-on in /usr/share/blender/scripts/addons, engine /usr/lib/ostrel: the cube, 8 points, 6 faces, 3 materials"
fi

if [ -n "$installed" ]; then
    step "deb: removing"
    dpkg_retry -r ostrel
    installed=
    [ ! -e /usr/bin/ostrel ] && [ ! -e /usr/lib/ostrel ] &&
        [ ! -e /usr/share/blender/scripts/addons/io_import_ostrel ] &&
        [ ! -e /usr/lib/python3/dist-packages/ostrel ] || fail "files left after dpkg -r ostrel"
    echo "  removed; /usr/bin/ostrel, /usr/lib/ostrel, the Python package and the add-on are gone"
fi

# One ZIP per width of the host: built, its contents checked, its module
# checked as the host maps it, and its ostrel.exe run under the Wine of its
# width where that runs (the 64-bit one everywhere, the 32-bit one where the
# kernel runs 32-bit code).
check_zip() { # check_zip BITS
    local bits=$1 preset=win$1 packagePreset zip folder wine winversion why status
    packagePreset=$([ "$bits" = 64 ] && echo zip64 || echo zip)
    step "zip: building the $preset preset and the win$bits ZIP"
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset
    rm -f build-$preset/ostrel-*.zip
    cpack --preset $packagePreset >/dev/null
    zip=$(ls build-$preset/ostrel-*-win$bits.zip)
    echo "  $zip: $(stat -c %s "$zip") bytes"
    local unpacked=$work/zip$bits
    mkdir "$unpacked"
    (cd "$unpacked" && cmake -E tar xf "$root/$zip")
    folder=$(ls -d "$unpacked"/ostrel-*)
    for file in ostrel.p ostrel.exe ostrel.html README.txt examples/cube.rk4 licences/ostrel.txt \
        licences/mingw-w64-runtime.txt licences/gcc-runtime-libraries.txt licences/GPL-3.txt; do
        [ -f "$folder/$file" ] || fail "$zip lacks $file"
    done
    ! grep -qv $'\r$' "$folder/README.txt" || fail "README.txt in $zip has lines without CR LF"
    grep -q "($bits-bit Windows DLL)" "$folder/README.txt" || fail "README.txt in $zip does not say the module is $bits-bit"
    cmp -s "$folder/ostrel.html" build-wasm/ostrel.html || fail "ostrel.html in $zip is not the page built"
    echo "  ostrel.p, ostrel.exe, ostrel.html, README.txt (CR LF), examples, licence texts"
    if [ "$bits" = 64 ]; then
        check_wheel "$folder/python/ostrel-1.4-py3-none-win_amd64.whl"
        check_thumbnails_file "$folder"
    elif [ -e "$folder/ostrel-thumbnails.dll" ] || grep -q regsvr32 "$folder/README.txt"; then
        fail "$zip holds the thumbnail handler, which is for 64-bit Windows only"
    fi
    build/ostrel-checkdll "$folder/ostrel.p" >"$work/checkdll.out" ||
        { cat "$work/checkdll.out"; fail "$zip: ostrel.p fails the module check"; }
    local machine=$([ "$bits" = 64 ] && echo "0x8664 (PE32+)" || echo "0x014c (PE32)")
    grep -q "^machine: *$machine" "$work/checkdll.out" || fail "$zip: ostrel.p is not a $bits-bit module"
    sed 's/^/  /' "$work/checkdll.out"

    if [ "$bits" = 32 ]; then
        if ! why=$(tools/kernel-runs-32bit.sh); then
            echo "zip: win32 Wine run skipped: ${why#32-bit x86: }"
            return 0
        fi
        if ! wine=$(command -v wine); then
            echo "zip: win32 Wine run skipped: wine is not installed (apt-get install wine wine32:i386)"
            return 0
        fi
    else
        wine=/usr/lib/wine/wine64
        [ -x "$wine" ] || fail "the 64-bit Wine is missing (apt-get install wine64)"
    fi

    step "zip: running ostrel.exe from the unpacked win$bits ZIP under the $bits-bit Wine"
    export WINEPREFIX=$work/wine$bits WINEDEBUG=-all
    "$wine" wineboot.exe -i >/dev/null 2>&1 || fail "Wine cannot set up a prefix in $WINEPREFIX"
    winversion=$(cd "$folder" && "$wine" ostrel.exe --version | tr -d '\r')
    [ "$(head -n 1 <<<"$winversion")" = "ostrel 1.4" ] || fail "ostrel.exe --version: '$winversion'"
    parts=(stb)
    [[ $winversion == *" glb"* ]] && parts+=(nlohmann-json)
    for part in "${parts[@]}"; do
        [ -f "$folder/licences/$part.txt" ] || fail "$zip lacks licences/$part.txt"
    done
    formats=$(sed -n 's/^outputs: //p' <<<"$winversion")
    echo "  ostrel.exe --version: $(head -n 1 <<<"$winversion"); outputs: $formats"
    rm -rf "$work/expected"
    (cd "$root" && convert_all "$work/expected" build/ostrel)
    (cd "$folder" && convert_all wine-out "$wine" ostrel.exe)
    same_files "$folder/wine-out"
    # Taken out of the folder without the module, it must say so in one line.
    mkdir "$work/alone$bits"
    cp "$folder/ostrel.exe" "$work/alone$bits/"
    status=0
    (cd "$work/alone$bits" && "$wine" ostrel.exe "$folder/examples/cube.rk4") >/dev/null 2>"$work/alone.err" ||
        status=$?
    [ "$status" = 4 ] && [ "$(wc -l <"$work/alone.err")" = 1 ] && grep -q 'ostrel\.p: cannot load' "$work/alone.err" ||
        fail "ostrel.exe without ostrel.p: exit $status, $(tr -d '\r' <"$work/alone.err")"
    echo "  ostrel.exe without ostrel.p beside it: exit 4, $(tr -d '\r' <"$work/alone.err")"
    [ "$bits" = 64 ] && check_thumbnails_registered "$folder"
    # The prefix's wineserver writes the registry as it ends.
    wineserver -w 2>/dev/null || true
}
# Explorer's thumbnail handler in the win64 ZIP: a COM server importing
# system DLLs only, and the README's commands to turn it on and off.
check_thumbnails_file() { # check_thumbnails_file FOLDER
    [ -f "$1/ostrel-thumbnails.dll" ] || fail "the win64 ZIP lacks ostrel-thumbnails.dll"
    build/ostrel-checkdll --server "$1/ostrel-thumbnails.dll" >"$work/server.out" ||
        { cat "$work/server.out"; fail "ostrel-thumbnails.dll in the win64 ZIP fails the server check"; }
    for command in "regsvr32 /n /i:user ostrel-thumbnails.dll" "regsvr32 /u /n /i:user ostrel-thumbnails.dll"; do
        grep -qF "$command" "$1/README.txt" || fail "README.txt does not say: $command"
    done
    echo "  ostrel-thumbnails.dll: a COM server importing $(sed -n 's/^imports: *//p' "$work/server.out")"
}
# ... and its README's commands as a user types them in the unpacked folder:
# registered for the user, the handler the .rk4 entry names (this folder's
# DLL) draws the cube, then removed.
check_thumbnails_registered() { # check_thumbnails_registered FOLDER
    local out
    (cd "$1" && "$wine" regsvr32 /s /n /i:user ostrel-thumbnails.dll) || fail "regsvr32 /n /i:user failed"
    out=$("$wine" build-win64/thumbnail_host.exe registered 256 "$1/examples/cube.rk4" | tr -d '\r') ||
        fail "the registered thumbnail handler does not draw the cube: $out"
    grep -qiF "$(basename "$1")\ostrel-thumbnails.dll" <<<"$out" ||
        fail "the registration does not name the ZIP's DLL: $out"
    (cd "$1" && "$wine" regsvr32 /s /u /n /i:user ostrel-thumbnails.dll) || fail "regsvr32 /u /n /i:user failed"
    ! "$wine" build-win64/thumbnail_host.exe registered 256 "$1/examples/cube.rk4" >/dev/null ||
        fail "still registered after regsvr32 /u /n /i:user"
    echo "  ostrel-thumbnails.dll: registered by the README's command, draws the cube, removed again"
}
# The Python wheel for 64-bit Windows: pip takes it for that platform, and it
# carries the 64-bit engine beside the package.
check_wheel() { # check_wheel WHEEL
    [ -f "$1" ] || fail "the win64 ZIP lacks ${1##*/}"
    /usr/bin/python3 -m pip install --quiet --no-index --no-deps --platform win_amd64 \
        --only-binary=:all: --target "$work/wheel" "$1" || fail "pip refuses ${1##*/} for win_amd64"
    /usr/bin/python3 -c '
import struct, sys; d = open(sys.argv[1], "rb").read(4096); o = struct.unpack_from("<I", d, 0x3c)[0]
sys.exit(not (d[:2] == b"MZ" and d[o:o + 6] == b"PE\0\0\x64\x86"))' "$work/wheel/ostrel/ostrel_engine.dll" ||
        fail "${1##*/} does not carry the 64-bit engine as ostrel/ostrel_engine.dll"
    grep -q "pip install python.ostrel-1.4-py3-none-win_amd64.whl" "$folder/README.txt" ||
        fail "README.txt does not say how to install ${1##*/}"
    echo "  python/${1##*/}: pip takes it for win_amd64; it carries the 64-bit engine"
}
check_zip 64
check_zip 32
