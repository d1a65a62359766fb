#!/usr/bin/env bash
# Remakes docs/pictures/nautilus-thumbnails.png: a folder of model files in
# GNOME Files (Debian's nautilus) as a user sees it with the .deb installed,
# each file its thumbnail. Builds and installs the package (and removes it
# again at the end, unless it was installed before), lays out a folder of the examples, the test models and
# generated ones (one of 112 MB, past the thumbnailer's 64 MiB, which gets
# its points; GNOME Files' own limit of 50 MB is raised for it) in a scratch
# HOME (build/desktop-picture/home), runs nautilus under Xvfb with a D-Bus
# session of its own, without the desktop search's indexer (which would
# read every model), drawn by GTK's cairo renderer (its GL one, on Xvfb's
# software GL, takes the processor for minutes on a busy machine), waits
# for the thumbnails in the HOME's cache, and takes the window's picture.
# Not part of the tests: it takes about a minute. Needs root (dpkg, and the
# packages it installs for itself: nautilus, xvfb, imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=docs/pictures/nautilus-thumbnails.png

need=()
for p in nautilus xvfb imagemagick dbus-bin bubblewrap shared-mime-info; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if ((${#need[@]})); then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

work=$root/build/desktop-picture
rm -rf "$work"
mkdir -p "$work"
installed=
dpkg-query -W -f='${Status}' ostrel 2>/dev/null | grep -q "install ok installed" && installed=before
xvfb=
cleanup() {
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    [ "$installed" != yes ] || dpkg -r ostrel >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

cmake --preset default >/dev/null
cmake --build --preset default --target ostrel ostrel_module ostrel_engine ostrel-thumbnailer generate-model >/dev/null
rm -f build/ostrel_*.deb
# The package carries the page: built here unless an earlier stage built it.
[[ -f build-wasm/ostrel.html ]] || web/build-page.sh >/dev/null
cpack --preset deb >/dev/null
[ -n "$installed" ] || installed=yes
dpkg -i build/ostrel_*.deb >/dev/null

home=$work/home
models=$home/Models
mkdir -p "$models"
cp examples/cube.rk4 examples/tetrahedron.rk4 examples/freelines.rk4 examples/format/triangle.rk4 \
    tests/data/concave.rk4 tests/data/groups.rk4 tests/data/mixed.rk4 "$models/"
cp examples/cube.rk4 "$models/OLD CUBE.RK4"                # the name in capitals
cp tests/data/tetra_flipped.rk4 "$models/tetra, no extension" # known by its magic
build/generate-model --cone 60000 --lf "$models/cone.rk4" >/dev/null
build/generate-model --spiral 60000 --lf "$models/spiral.rk4" >/dev/null
build/generate-model --grid 256 --copies 4 --lf "$models/grid-27mb.rk4" >/dev/null
build/generate-model --size 27 --seed 5 "$models/generated-27mb.rk4" >/dev/null
build/generate-model --grid 1001 --lf "$models/grid-112mb.rk4" >/dev/null
count=$(ls "$models" | wc -l)

mkdir -p "$home/.config/glib-2.0/settings" "$work/run" "$work/services"
chmod 700 "$work/run"
# Large icons, a window that shows the whole folder, thumbnails of files up
# to 200 MB.
cat >"$home/.config/glib-2.0/settings/keyfile" <<'EOF'
[org/gnome/nautilus/icon-view]
default-zoom-level='large'

[org/gnome/nautilus/window-state]
initial-size=(1400, 720)

[org/gnome/nautilus/preferences]
thumbnail-limit=uint64 200
EOF
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache \
    XDG_DATA_HOME=$home/.local/share XDG_RUNTIME_DIR=$work/run GSETTINGS_BACKEND=keyfile \
    GSK_RENDERER=cairo NO_AT_BRIDGE=1 GTK_A11Y=none
# The session's services, less the indexer's.
for service in /usr/share/dbus-1/services/*.service; do
    case $service in *Tracker*) ;; *) ln -s "$service" "$work/services/" ;; esac
done
sed "s#<standard_session_servicedirs />#<servicedir>$work/services</servicedir>#" \
    /usr/share/dbus-1/session.conf >"$work/session.conf"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
sleep 2
export DISPLAY=$display
# Waits until each model has its thumbnail (or three minutes have passed),
# then a little more for the window to show them.
dbus-run-session --config-file="$work/session.conf" -- bash -c '
    nautilus --new-window "$1" >"$2/nautilus.log" 2>&1 &
    for _ in $(seq 180); do
        made=$(ls "$XDG_CACHE_HOME/thumbnails/large" 2>/dev/null | wc -l)
        ((made >= $3)) && break
        sleep 1
    done
    sleep 3
    import -window root "$2/screen.png"
    kill %1' _ "$models" "$work" "$count"
made=$(find "$home/.cache/thumbnails/large" -name '*.png' 2>/dev/null | wc -l || true)
failed=$(find "$home/.cache/thumbnails/fail" -name '*.png' 2>/dev/null | wc -l || true)
echo "make-desktop-picture: $made of $count thumbnails made, $failed failed"
# The window alone: the screen around it is black.
/usr/bin/convert "$work/screen.png" -trim +repage "$root/$out"
ls -l "$out"
