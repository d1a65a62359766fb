#!/usr/bin/env bash
# Remakes the pictures in docs/pictures: first ostrel's own (png/NAME.png,
# 256 pixels: every example and test model, a generated 27 MB model and a
# big grid; a few seconds), then every example (and the concave test model)
# converted to .glb and rendered by Blender (tools/render-pictures.py), and
# the cube and the concave model imported by the Blender add-on
# (blender-NAME.png). --png: ostrel's own only.
# Not part of the tests; Blender's take about two minutes on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null &&
  cmake --build --preset default --target ostrel ostrel_module ostrel_engine generate-model >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/generate-model --size 27 --seed 5 "$work/generated-27mb.rk4" >/dev/null
build/generate-model --grid 300 --copies 2 --seed 4 "$work/grid-300.rk4" >/dev/null
mkdir -p docs/pictures/png
build/ostrel examples/*.rk4 examples/format/*.rk4 tests/data/*.rk4 "$work"/*.rk4 \
  --out-dir docs/pictures/png --format png --size 256 --quiet >/dev/null
[[ ${1:-} == --png ]] && { ls -l docs/pictures/png; exit 0; }
for model in examples/*.rk4 tests/data/concave.rk4; do
  build/ostrel "$model" -o "$work/$(basename "$model" .rk4).glb" >/dev/null
done
mkdir -p docs/pictures "$work/home/config" "$work/home/scripts/addons"
# The add-on as its zip holds it: with the Python package, its binding, inside.
cp -r blender/io_import_ostrel "$work/home/scripts/addons/"
cp -r python/ostrel "$work/home/scripts/addons/io_import_ostrel/ostrel"
HOME=$work/home XDG_CONFIG_HOME=$work/home/config BLENDER_USER_SCRIPTS=$work/home/scripts \
  OSTREL_ENGINE=$PWD/build/libostrel_engine.so blender -b --factory-startup --python-exit-code 1 \
  --python tools/render-pictures.py -- docs/pictures "$work"/*.glb examples/cube.rk4 tests/data/concave.rk4 |
  grep -E '^(Saved|Error)' || true
ls -l docs/pictures
