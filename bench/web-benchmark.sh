#!/usr/bin/env bash
# The web page's converter against the native ostrel on the same machine in
# the same run: a generated model (27 MB by default) converted to glb by
# build/ostrel, by the WebAssembly build in Node, and in the page in
# chromium (from the pick to the line, and to the first view); the peak
# memory of each, the page's size and its time to first view of the cube.
# Not a test; prints a Markdown table.
#
#   bench/web-benchmark.sh [--size MB] [--runs N]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
size=27
runs=3
while (($#)); do
  case $1 in
  --size) size=$2; shift 2 ;;
  --runs) runs=$2; shift 2 ;;
  *) echo "unknown option $1" >&2; exit 64 ;;
  esac
done

cmake --preset default >/dev/null &&
  cmake --build --preset default --target ostrel ostrel_module generate-model >/dev/null
web/build-page.sh >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
model=$work/generated.rk4
build/generate-model --size "$size" --seed 5 "$model" >/dev/null

# Native: the best of the runs, and its peak resident memory.
best=
for ((i = 0; i < runs; i++)); do
  /usr/bin/time -f '%e %M' -o "$work/time" build/ostrel "$model" -o "$work/native.glb" >/dev/null
  read -r seconds kb <"$work/time"
  if [[ -z $best ]] || (($(echo "$seconds < $best" | bc))); then best=$seconds; nativekb=$kb; fi
done
native=$best

# Node: the conversion alone (the module started once), best of the runs;
# the process's peak resident memory.
/usr/bin/time -f '%M' -o "$work/nodemem" node web/test/bench-node.mjs build-wasm/ostrel-wasm.js \
  "$model" "$runs" "$work/wasm.glb" >"$work/node"
read -r nodeseconds <"$work/node"
read -r nodekb <"$work/nodemem"
cmp -s "$work/native.glb" "$work/wasm.glb" || echo "note: the glb from Node differs from ostrel's" >&2

# The page in chromium.
(cd web && node test/bench-page.mjs "$root/build-wasm/ostrel.html" "$model" "$root/examples/cube.rk4" "$runs") >"$work/page"
read -r pageseconds viewseconds firstview pagemb workerseconds <"$work/page"

ratio() { echo "scale=2; $1 / $2" | bc; }
echo "| what | time | vs native | peak memory |"
echo "|---|---|---|---|"
echo "| native build/ostrel, ${size} MB model to glb | ${native} s | 1 | $((nativekb / 1024)) MB |"
echo "| WebAssembly in Node ($(node --version)) | ${nodeseconds} s | $(ratio "$nodeseconds" "$native") | $((nodekb / 1024)) MB (process) |"
echo "| the page in chromium, pick to line | ${pageseconds} s | $(ratio "$pageseconds" "$native") | ${pagemb} MB (the worker's WebAssembly memory) |"
echo "| the page in chromium, the import in its worker | ${workerseconds} s | $(ratio "$workerseconds" "$native") | |"
echo "| the page in chromium, pick to view drawn | ${viewseconds} s | $(ratio "$viewseconds" "$native") | |"
echo
echo "page: $(stat -c %s build-wasm/ostrel.html) bytes; first view of the cube: ${firstview} s from opening the page"
