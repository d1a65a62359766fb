#!/usr/bin/env bash
# Model files on the Linux desktop, as a user gets them: builds the Debian
# package, installs it with dpkg and checks
#  - that dpkg's shared-mime-info trigger registered model/x.rk4, which gio
#    (and xdg-mime on GNOME) gives model files by name, in any case, and by
#    their content, the magic at the start or after the 128-byte header;
#  - that the installed ostrel-thumbnailer writes the bytes `ostrel -o
#    x.png --size 256` writes for the cube, under env -i in a bubblewrap
#    sandbox that holds nothing but the program, the libraries ldd names,
#    the model (read-only) and the output folder;
#  - that GNOME's thumbnail factory (gnome-desktop, from Python) finds it
#    through its entry and runs it in its own sandbox (bubblewrap, seccomp),
#    getting the same pixels;
#  - the budget: every fuzz seed, pinned regression and test model, the
#    models cut short, sizes asked far out of range, a model too big to draw
#    whole (its points), a 4 GiB file of zeros, a file whose import asks
#    more memory than the budget, a FIFO: each run ends by itself within the
#    processor budget, with a PNG of the size drawn or no file and a status
#    that is not 0;
# then removes the package, after which the type is gone again.
#
# Needs root (or sudo) for dpkg, and Debian's bubblewrap, shared-mime-info,
# libglib2.0-bin, xdg-utils, python3-gi and gir1.2-gnomedesktop-4.0
# (tools/install-deps.sh). Skipped, in one line, where it cannot install
# packages or bubblewrap cannot make a sandbox.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

fail() {
    echo "check-desktop: $*" >&2
    exit 1
}
skip() {
    echo "$*" >"${OSTREL_SKIP_NOTE:-/dev/stdout}"
    exit 77
}
step() { printf '\n== %s\n' "$*"; }

if [ "$(id -u)" -eq 0 ]; then
    sudo=
elif sudo -n true 2>/dev/null; then
    sudo=sudo
else
    skip "the package is installed with dpkg: run as root, or with sudo"
fi
bwrap --ro-bind / / true 2>/dev/null || skip "bubblewrap cannot make a sandbox here"
python=/usr/bin/python3 # Debian's, with its gi

work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-desktop.XXXXXX")
installed=
cleanup() {
    if [ -n "$installed" ]; then
        $sudo dpkg -r ostrel >/dev/null 2>&1 || echo "check-desktop: could not remove the package ostrel" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT

. tools/dpkg-retry.sh
png_size() { # png_size FILE: "WIDTHxHEIGHT" of a PNG file, or nothing
    "$python" -c '
import struct, sys
d = open(sys.argv[1], "rb").read(24)
if d[:8] == b"\x89PNG\r\n\x1a\n" and d[12:16] == b"IHDR":
    print("%dx%d" % struct.unpack(">II", d[16:24]))' "$1"
}
content_type() { # content_type FILE
    gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'
}

step "the package"
cmake --preset default >/dev/null
cmake --build --preset default --target ostrel ostrel_module ostrel_engine ostrel-thumbnailer generate-model
rm -f build/ostrel_*.deb
# The package carries the page: built here unless an earlier stage built it.
[[ -f build-wasm/ostrel.html ]] || web/build-page.sh >/dev/null
cpack --preset deb >/dev/null
deb=$(ls build/ostrel_*.deb)
listing=$(dpkg-deb -c "$deb")
for entry in ./usr/bin/ostrel-thumbnailer ./usr/share/thumbnailers/ostrel.thumbnailer \
    ./usr/share/mime/packages/ostrel.xml; do
    grep -q -F -- " $entry" <<<"$listing" || fail "$deb lacks $entry"
done
echo "  $deb holds the thumbnailer, its entry and the MIME type"

step "installing: the MIME type"
installed=yes
dpkg_retry -i "$deb"
grep -q "Processing triggers for shared-mime-info" <<<"$dpkg_output" ||
    fail "installing ran no shared-mime-info trigger: $dpkg_output"
grep -q -x 'model/x.rk4:\*\.rk4' <(cut -d: -f2- /usr/share/mime/globs2) ||
    fail "update-mime-database did not take model/x.rk4 into /usr/share/mime/globs2"
mkdir "$work/types"
cp examples/cube.rk4 "$work/types/cube.rk4"
cp examples/cube.rk4 "$work/types/CUBE.RK4"
cp examples/cube.rk4 "$work/types/cube-without-extension"
(head -c 128 /dev/zero && cat examples/cube.rk4) >"$work/types/headered.dat"
cp tests/data/not_model.txt "$work/types/not-a-model"
for file in cube.rk4 CUBE.RK4 cube-without-extension headered.dat; do
    type=$(content_type "$work/types/$file")
    [ "$type" = model/x.rk4 ] || fail "gio: $file is $type, not model/x.rk4"
done
type=$(content_type "$work/types/not-a-model")
[ "$type" != model/x.rk4 ] || fail "gio: a file that is not a model file is model/x.rk4"
type=$(XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$work/types/cube-without-extension")
[ "$type" = model/x.rk4 ] || fail "xdg-mime: a model file without extension is $type"
echo "  the trigger ran; gio: model/x.rk4 for *.rk4, *.RK4, the magic at 0 and at 128 (xdg-mime too)"

step "the thumbnailer: the cube's bytes, under env -i in a sandbox of its own files"
build/ostrel examples/cube.rk4 -o "$work/cube.png" --size 256 --quiet >/dev/null
program=/usr/bin/ostrel-thumbnailer
binds=(--ro-bind "$program" "$program")
for library in $(ldd "$program" | grep -o '/[^ ]*'); do
    case $library in /usr/* | /lib/* | /lib64/*) ;; *) fail "$program links $library, outside /usr" ;; esac
    binds+=(--ro-bind "$(readlink -f "$library")" "$library")
done
mkdir "$work/out"
env -i /usr/bin/bwrap --unshare-all --die-with-parent --new-session --clearenv "${binds[@]}" \
    --ro-bind "$root/examples/cube.rk4" /model/cube.rk4 --bind "$work/out" /out --remount-ro / \
    "$program" -s 256 /model/cube.rk4 /out/cube.png ||
    fail "the thumbnailer in its sandbox: exit $?"
cmp -s "$work/out/cube.png" "$work/cube.png" || fail "the thumbnailer's cube differs from ostrel's"
echo "  $(ldd "$program" | grep -c '/') libraries, all in /usr; the cube's PNG, byte-identical to ostrel's"

step "GNOME's thumbnail factory runs it in its own sandbox"
mkdir -p "$work/home"
HOME=$work/home XDG_CACHE_HOME=$work/home/.cache GSETTINGS_BACKEND=memory "$python" - \
    "$root/examples/cube.rk4" "$work/cube.png" <<'EOF' || fail "GNOME's thumbnail factory"
import sys
import gi
gi.require_version("GnomeDesktop", "4.0")
gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, Gio, GnomeDesktop

model, expected = sys.argv[1], sys.argv[2]
file = Gio.File.new_for_path(model)
info = file.query_info("standard::content-type,time::modified", 0, None)
kind, mtime = info.get_content_type(), info.get_attribute_uint64("time::modified")
factory = GnomeDesktop.DesktopThumbnailFactory.new(GnomeDesktop.DesktopThumbnailSize.LARGE)
if not factory.can_thumbnail(file.get_uri(), kind, mtime):
    sys.exit(f"no thumbnailer for {kind}")
made = factory.generate_thumbnail(file.get_uri(), kind, None)
want = GdkPixbuf.Pixbuf.new_from_file(expected)
if (made.get_width(), made.get_height(), made.get_pixels()) != (
        want.get_width(), want.get_height(), want.get_pixels()):
    sys.exit("the factory's thumbnail is not the cube's picture")
print(f"  {kind}: {made.get_width()} x {made.get_height()}, the cube's pixels")
EOF

step "the budget"
limit=10 # seconds: the budget's processor time
# Runs the installed thumbnailer on FILE at SIZE: within the limit, by
# itself, with a PNG of the size drawn (status 0) or no file (status not 0).
# Prints the status.
thumbnail() { # thumbnail FILE SIZE [EXPECTED_PIXELS]
    local out=$work/thumbnail.png status=0 start=$SECONDS
    rm -f "$out"
    "$program" -s "$2" "$1" "$out" 2>"$work/thumbnail.err" || status=$?
    ((SECONDS - start <= limit)) || fail "$1: $((SECONDS - start)) s, beyond the budget's $limit s"
    ((status < 128)) || fail "$1: ended by signal $((status - 128)): $(cat "$work/thumbnail.err")"
    if ((status == 0)); then
        local size
        size=$(png_size "$out")
        [ "$size" = "${3:-$2}x${3:-$2}" ] || fail "$1 at $2: a picture of '$size'"
    else
        [ ! -e "$out" ] || fail "$1: status $status, and a file written"
        [ "$(wc -l <"$work/thumbnail.err")" = 1 ] || fail "$1: status $status: $(cat "$work/thumbnail.err")"
    fi
    echo "$status"
}
count=0
for model in fuzz/corpus/* fuzz/regressions/* tests/data/* examples/*.rk4 examples/format/*.rk4; do
    thumbnail "$model" 128 >/dev/null
    length=$(stat -c %s "$model")
    for cut in 0 1 5 127 128 132 133 $((length / 3)) $((length / 2)) $((length - 1)); do
        ((cut >= 0 && cut < length)) || continue
        head -c "$cut" "$model" >"$work/cut.rk4"
        thumbnail "$work/cut.rk4" 128 >/dev/null
        count=$((count + 1))
    done
done
[ "$(thumbnail tests/data/not_model.txt 256)" = 1 ] || fail "not_model.txt: a picture"
echo "  fuzz seeds, regressions, test models, examples and $count of them cut short: each ends in time"
[ "$(thumbnail examples/cube.rk4 100000 1024)" = 0 ] && [ "$(thumbnail examples/cube.rk4 8 16)" = 0 ] ||
    fail "sizes out of range"
echo "  -s 100000: 1024 pixels; -s 8: 16 pixels"
build/generate-model --grid 1001 --lf "$work/big.rk4" >/dev/null
[ "$(thumbnail "$work/big.rk4" 256)" = 0 ] && grep -q "its points only" "$work/thumbnail.err" ||
    fail "the 112 MB grid: no picture of its points: $(cat "$work/thumbnail.err")"
rm "$work/big.rk4"
echo "  a 112 MB grid of 1,002,001 points: its points"
truncate -s 4G "$work/zeros.rk4"
printf 'ROKU4\nPOINT\n' | dd of="$work/zeros.rk4" conv=notrunc status=none
[ "$(thumbnail "$work/zeros.rk4" 256)" = 1 ] || fail "a 4 GiB file of zeros: a picture"
rm "$work/zeros.rk4"
# Faces of no lines, 2^23 + 1 of them: the reader's tables take about 31
# bytes per byte of this file, a gigabyte, beyond the budget's memory.
"$python" -c 'import sys; f = open(sys.argv[1], "wb"); f.write(b"ROKU4\nPOINT\nLINE0\nFACE0\n" + b"0\n\n\n" * ((1 << 23) + 1))' \
    "$work/faces.rk4"
[ "$(thumbnail "$work/faces.rk4" 256)" = 1 ] && grep -q "not enough memory" "$work/thumbnail.err" ||
    fail "a 32 MB file of faces of no lines: $(cat "$work/thumbnail.err")"
rm "$work/faces.rk4"
mkfifo "$work/fifo.rk4"
[ "$(thumbnail "$work/fifo.rk4" 256)" = 2 ] || fail "a FIFO: read"
echo "  a 4 GiB file of zeros, a 32 MB file that asks 1 GB of memory, a FIFO: no picture, status 1, 1, 2"

step "removing"
dpkg_retry -r ostrel
installed=
type=$(content_type "$work/types/cube.rk4")
[ "$type" != model/x.rk4 ] || fail "model/x.rk4 is still known after dpkg -r ostrel"
[ ! -e /usr/bin/ostrel-thumbnailer ] && [ ! -e /usr/share/thumbnailers/ostrel.thumbnailer ] ||
    fail "the thumbnailer is left after dpkg -r ostrel"
echo "  removed: the type, the thumbnailer and its entry are gone"
