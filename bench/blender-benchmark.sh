#!/usr/bin/env bash
# The Blender add-on's import time against Blender's C++ OBJ importer
# (wm.obj_import) reading the converter's OBJ of the same model, in each
# Blender version (3.4 here, 4.3 and 5.2 from their chroots, see
# tools/blender-run.sh): generated models of 65,271 points (8 MB) and
# 202,187 points (26 MB; the plug-in's 16-bit point numbers reach the first
# 65,536, so only the polygons among those are sent). Not a test; prints a
# Markdown table, the median of RUNS imports each (default 5). The goals:
# the add-on at most 1.0x wm.obj_import at 65,000 points, "As the Host
# Shades" at most 1.3x, and at most 2x at 200,000 points. Each row also
# gives the ratios of the process's CPU time (all its threads), which a
# machine shared with other work disturbs less than the time on the clock.
#
#   bench/blender-benchmark.sh [--versions "3.4 4.3 5.2"] [--sizes "8 26"] [--runs N]
#                              [--data DIR] [--addon DIR] [--pref NAME=VALUE]
#
# --addon takes another copy of the add-on's package (to measure an older
# one); --pref sets one of its preferences (default: the engine library of
# the blender preset's build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
versions="3.4 4.3 5.2"
sizes="8 26"
runs=5
data=${TMPDIR:-/tmp}/ostrel-blender-bench
addon=$root/blender/io_import_ostrel
prefs=()
while (($#)); do
  case $1 in
  --versions) versions=$2; shift 2 ;;
  --sizes) sizes=$2; shift 2 ;;
  --runs) runs=$2; shift 2 ;;
  --data) data=$2; shift 2 ;;
  --addon) addon=$(cd "$2" && pwd); shift 2 ;;
  --pref) prefs+=("$2"); shift 2 ;;
  *) echo "unknown option $1" >&2; exit 64 ;;
  esac
done

cmake --preset default >/dev/null &&
  cmake --build --preset default --target ostrel ostrel_module generate-model >/dev/null
cmake --preset blender >/dev/null && cmake --build build-blender --target ostrel_engine >/dev/null
((${#prefs[@]})) || prefs=("engine_path=$root/build-blender/libostrel_engine.so")
mkdir -p "$data/home/config" "$data/home/scripts/addons"
rm -rf "$data/home/scripts/addons/io_import_ostrel"
cp -r "$addon" "$data/home/scripts/addons/io_import_ostrel"
# The binding the zip carries inside the add-on, unless the copy has one.
[ -d "$addon/ostrel" ] || cp -r python/ostrel "$data/home/scripts/addons/io_import_ostrel/ostrel"
models=()
for size in $sizes; do
  model=$data/generated-$size.rk4
  [ -f "$model" ] || build/generate-model --size "$size" --seed 1 "$model" >/dev/null
  [ -f "${model%.rk4}.obj" ] || build/ostrel --quiet "$model" -o "${model%.rk4}.obj" >/dev/null
  models+=("$model")
done
echo "| Blender | model | vertices | faces | add-on | As the Host Shades | wm.obj_import | add-on / OBJ | host / OBJ | CPU: add-on / OBJ | CPU: host / OBJ |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
for version in $versions; do
  HOME=$data/home XDG_CONFIG_HOME=$data/home/config BLENDER_USER_SCRIPTS=$data/home/scripts \
    tools/blender-run.sh "$version" --bind "$data" -- -b --factory-startup --python-exit-code 1 \
    --python bench/blender_import.py -- "$runs" "${prefs[@]}" "${models[@]}" 2>&1 |
    grep -E '^\|' || echo "| $version | the run failed |"
done
