#!/usr/bin/env bash
# Remakes the pictures in docs/pictures: every example (and the concave test
# model) converted to .glb and rendered by Blender (tools/render-pictures.py),
# and the cube and the concave model imported by the Blender add-on
# (blender-NAME.png).
# Not part of the tests; takes about two minutes on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null && cmake --build --preset default --target ostrel ostrel_module ostrel_engine >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
