#!/usr/bin/env bash
# The figures of the summary table in docs/speed.md, measured side by side
# in one run, with their ratios and goals. Each comparison runs its programs
# in turn, round after round (bench/measure.sh), so that the machine's load
# weighs on all of them alike; wall times are medians of the rounds, peak
# memory the largest resident set.
#
#   bench/summary.sh [--runs N] [--build DIR]
#
# The yardsticks: a line scan of the file (read in 1 MiB blocks, every line
# end found with memchr: bench/LineScan.cpp), tinyobjloader loading the same
# mesh as OBJ (bench/ObjLoad.cpp), assimp converting that OBJ to glb. The
# page has its own run, bench/web-benchmark.sh: it needs chromium and the
# WebAssembly build. The models are made once in $TMPDIR/ostrel-bench.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=build-bench
runs=3
while (($#)); do
  case $1 in
  --runs) runs=$2; shift 2 ;;
  --build) build=$2; shift 2 ;;
  *) echo "unknown option $1" >&2; exit 64 ;;
  esac
done
data=${TMPDIR:-/tmp}/ostrel-bench
mkdir -p "$data/out"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DOSTREL_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target ostrel ostrel_module measure line-scan obj-load generate-model \
  engine-load ostrel_engine >/dev/null
. bench/measure.sh

model() { # model NAME GENERATOR-ARGS...: made once, and its page cache warmed
  local name=$1
  shift
  [[ -s $data/$name.rk4 ]] || "$build/generate-model" "$@" "$data/$name.rk4" >/dev/null
  cat "$data/$name.rk4" >/dev/null
}
model grid --grid 256 --copies 4 --lf --obj "$data/grid.obj"
model grid65k --grid 256 --lf --obj "$data/grid65k.obj"
model grid1m --grid 1001 --lf
model m64 --size 64 --seed 1
mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", b / 1048576 }'; }
x() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
q() { printf '%q ' "$@"; }
s() { printf '%.3f' "$1"; }
ostrel=$build/ostrel
python() { # the Python package over this build's engine
  printf 'env PYTHONPATH=%q OSTREL_ENGINE=%q /usr/bin/python3 -c %q' "$root/python" \
    "$build/libostrel_engine.so" "$1"
}

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg); $(date -u '+%Y-%m-%d %H:%M UTC');" \
  "medians of $runs rounds"
echo

# The import against the scan and tinyobjloader (27.6 MB grid).
g=$data/grid.rk4
compare scan "$(q "$build/line-scan" "$g")" check "$(q "$ostrel" "$g" --check --quiet)" \
  import "$(q "$build/engine-load" "$g")" tinyobj "$(q "$build/obj-load" "$data/grid.obj")" \
  glb "$(q "$ostrel" "$g" -o "$data/out/grid.glb")" \
  assimp "$(q assimp export "$data/grid.obj" "$data/out/assimp.glb")"
# The writers against the import (65,536-point grid, both routes every face).
s=$data/grid65k.rk4
compare check65 "$(q "$ostrel" "$s" --check --quiet)" glb65 "$(q "$ostrel" "$s" -o "$data/out/s.glb")" \
  obj65 "$(q "$ostrel" "$s" -o "$data/out/s.obj")"

echo "| what | measured | ratio | goal |"
echo "|---|---|---|---|"
echo "| \`--check --quiet\` / a line scan, grid ($(mb "$g") MB) | $(s "${wall[check]}") s / $(s "${wall[scan]}") s | $(x "${wall[check]}" "${wall[scan]}")x | ≤ 2x |"
echo "| the converter's whole import (the engine's) / a line scan | $(s "${wall[import]}") s / $(s "${wall[scan]}") s | $(x "${wall[import]}" "${wall[scan]}")x | ≤ 2x |"
echo "| \`--check --quiet\` / tinyobjloader, the same mesh as OBJ | $(s "${wall[check]}") s / $(s "${wall[tinyobj]}") s | $(x "${wall[check]}" "${wall[tinyobj]}")x | ≤ 0.5x |"
echo "| the whole import / tinyobjloader | $(s "${wall[import]}") s / $(s "${wall[tinyobj]}") s | $(x "${wall[import]}" "${wall[tinyobj]}")x | ≤ 0.5x |"
echo "| glb / the whole import, grid | $(s "${wall[glb]}") s / $(s "${wall[import]}") s | $(x "${wall[glb]}" "${wall[import]}")x | ≤ 1.5x |"
echo "| glb / \`--check --quiet\`, 65,536-point grid | $(s "${wall[glb65]}") s / $(s "${wall[check65]}") s | $(x "${wall[glb65]}" "${wall[check65]}")x | ≤ 1.5x |"
echo "| OBJ / \`--check --quiet\`, 65,536-point grid | $(s "${wall[obj65]}") s / $(s "${wall[check65]}") s | $(x "${wall[obj65]}" "${wall[check65]}")x | ≤ 2x |"
echo "| \`ostrel\` rk4 to glb / assimp OBJ to glb, the same mesh | $(s "${wall[glb]}") s / $(s "${wall[assimp]}") s | $(x "${wall[glb]}" "${wall[assimp]}")x | < 1x |"

# Peak memory of every output against the file: ostrel, the engine, ostrel.load.
for name in grid1m m64; do
  f=$data/$name.rk4
  set --
  for format in glb obj fbx; do
    set -- "$@" "ostrel-$format" "$(q "$ostrel" "$f" -o "$data/out/$name.$format")" \
      "engine-$format" "$(q "$build/engine-load" "$f" "$format")"
  done
  set -- "$@" load "$(python "import ostrel, sys; ostrel.load(sys.argv[1])") $(q "$f")"
  runs=1 compare "$@"
  budget=$(awk -v b="$(stat -c %s "$f")" 'BEGIN { printf "%.0f", 3 * b / 1048576 + 64 }')
  row="| peak memory, $name ($(mb "$f") MB): ostrel / engine glb, OBJ, FBX; ostrel.load |"
  cells=""
  largest=0
  for key in ostrel-glb engine-glb ostrel-obj engine-obj ostrel-fbx engine-fbx load; do
    kb=${rss[$key]}
    ((kb > largest)) && largest=$kb
    cells+="$((kb / 1024))$([[ $key == ostrel-* ]] && echo ' / ' || echo ', ')"
  done
  echo "$row ${cells%, } MB | the largest: $(x "$largest" "$(($(stat -c %s "$f") / 1024))")x the file | ≤ $budget MB |"
done
