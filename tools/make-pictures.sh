#!/usr/bin/env bash
# Remakes the pictures in docs/pictures: every example (and the concave test
# model) converted to .glb and rendered by Blender (tools/render-pictures.py).
# Not part of the tests; takes about a minute on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null && cmake --build --preset default --target ostrel ostrel_module >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for model in examples/*.rk4 tests/data/concave.rk4; do
  build/ostrel "$model" -o "$work/$(basename "$model" .rk4).glb" >/dev/null
done
mkdir -p docs/pictures
blender -b --python-exit-code 1 --python tools/render-pictures.py -- docs/pictures "$work"/*.glb |
  grep -E '^(Saved|Error)' || true
ls -l docs/pictures
