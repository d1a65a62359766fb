#!/usr/bin/env bash
# The Blender add-on's import time against Blender's own OBJ importers (the
# C++ one, File > Import > Wavefront, and the older Python one) reading the
# converter's OBJ of the same model, for generated models up to the host's
# 65,536 points and one beyond (whose far polygons the plug-in does not
# send). Not a test; prints a Markdown table. The converter's time to write
# each OBJ is printed apart: a user of that route pays it too.
#
#   bench/blender-benchmark.sh [--sizes "0.1 1 4 8 64"] [--runs N] [--data DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
sizes="0.1 1 4 8 64"
runs=3
data=${TMPDIR:-/tmp}/ostrel-blender-bench
while (($#)); do
  case $1 in
  --sizes) sizes=$2; shift 2 ;;
  --runs) runs=$2; shift 2 ;;
  --data) data=$2; shift 2 ;;
  *) echo "unknown option $1" >&2; exit 64 ;;
  esac
done

cmake --preset default >/dev/null &&
  cmake --build --preset default --target ostrel ostrel_module generate-model >/dev/null
mkdir -p "$data/home/config" "$data/home/scripts/addons"
ln -sfn "$root/blender/io_import_ostrel" "$data/home/scripts/addons/io_import_ostrel"
models=()
for size in $sizes; do
  model=$data/generated-$size.rk4
  [ -f "$model" ] || build/generate-model --size "$size" --seed 1 "$model" >/dev/null
  start=$(date +%s%N)
  build/ostrel "$model" -o "${model%.rk4}.obj" >/dev/null
  echo "converter to OBJ, $(basename "$model"): $((($(date +%s%N) - start) / 1000000)) ms"
  models+=("$model")
done
HOME=$data/home XDG_CONFIG_HOME=$data/home/config BLENDER_USER_SCRIPTS=$data/home/scripts \
  OSTREL_CONVERTER=$root/build/ostrel blender -b --factory-startup --python-exit-code 1 \
  --python bench/blender_import.py -- "$runs" "${models[@]}" 2>&1 | grep -E '^\||Error|Traceback'
