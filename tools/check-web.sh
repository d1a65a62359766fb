#!/usr/bin/env bash
# The web page: builds the converter to WebAssembly (the wasm preset) and the
# page (web/build-page.sh: build-wasm/ostrel.html), then checks the converter in Node against the
# native ostrel, byte for byte, on the examples, the test models and
# generated ones, with the plug-in's proposals and with edited options, and
# hostile input line for line (web/test/node-outputs.mjs); then the page
# itself in Debian's chromium (web/test/browser.mjs and browser-drops.mjs),
# when that is here.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

export NODE_PATH=/usr/share/nodejs
command -v emcc >/dev/null ||
  { echo "emscripten is not installed (tools/install-deps.sh)" >"${OSTREL_SKIP_NOTE:-/dev/stdout}"; exit 77; }
cmake --preset default >/dev/null &&
  cmake --build --preset default --target ostrel ostrel_module generate-model >/dev/null || exit 1
web/build-page.sh >/dev/null || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/models"
build/generate-model --size 1 --seed 7 "$work/models/generated.rk4" >/dev/null &&
  build/generate-model --grid 40 --copies 2 --seed 3 "$work/models/grid.rk4" >/dev/null &&
  build/generate-model --spiral 20000 "$work/models/spiral.rk4" >/dev/null &&
  cp examples/cube.rk4 "$work/models/立方体.rk4" || exit 1
# and a second cube.rk4 from another folder: its outputs take the same names.
mkdir -p "$work/again" && cp examples/cube.rk4 "$work/again/cube.rk4" || exit 1
models=("$root"/examples/*.rk4 "$root"/tests/data/*.rk4 "$work"/models/*.rk4 "$work/again/cube.rk4")

status=0
node web/test/node-outputs.mjs build-wasm/ostrel-wasm.js build/ostrel "$work" "${models[@]}" ||
  status=1

if [[ ! -x /usr/bin/chromium ]]; then
  ((status)) && exit 1
  echo "chromium is not installed: the page was not tried in a browser" >"${OSTREL_SKIP_NOTE:-/dev/stdout}"
  exit 77
fi
# A long conversion for the cancel check; a model of more points than LWOB
# numbers; a folder of 50 different models for the gallery.
build/generate-model --size 27 --seed 5 "$work/big.rk4" >/dev/null &&
  build/generate-model --grid 182 --copies 2 --seed 4 "$work/many-points.rk4" >/dev/null || exit 1
mkdir -p "$work/folder"
for i in $(seq 1 50); do
  shape=(--cone $((3 + i)))
  ((i % 3 == 1)) && shape=(--grid $((2 + i)) --seed "$i")
  ((i % 3 == 2)) && shape=(--spiral $((40 + 10 * i)) --turns $((1 + i % 4)))
  build/generate-model "${shape[@]}" "$work/folder/model-$i.rk4" >/dev/null || exit 1
done
# Two families, each its own chromium: picked models, then drops and the gallery.
for family in browser browser-drops; do
  (cd web && node "test/$family.mjs" "$root/build-wasm/ostrel.html" "$root/build/ostrel" "$work" \
    "${models[@]}" --big "$work/big.rk4" --many "$work/many-points.rk4" --folder "$work/folder" \
    ${OSTREL_WEB_SCREENSHOTS:+--screenshots "$OSTREL_WEB_SCREENSHOTS"}) || status=1
done
exit $status
