#!/usr/bin/env bash
# The web page against the native ostrel on the same machine in the same
# run. The grid of the import benchmarks (262,144 points, 27.6 MB) converted
# to glb with warnings by build/ostrel, by the WebAssembly build in Node, and
# picked in the page in chromium (to its line, to the object drawn); a
# 65,025-point grid edited in the page's panel (the edit to the view drawn
# again); folders of 50 models (1 MB each) and of 500 small ones dropped to
# the last card drawn, and the 500 cards scrolled through. Peak memory of
# each. Not a test; prints Markdown tables.
#
#   bench/web-benchmark.sh [--runs N]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=3
while (($#)); do
  case $1 in
  --runs) runs=$2; shift 2 ;;
  *) echo "unknown option $1" >&2; exit 64 ;;
  esac
done

cmake --preset default >/dev/null &&
  cmake --build --preset default --target ostrel ostrel_module generate-model >/dev/null
web/build-page.sh >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
model=$work/grid.rk4
build/generate-model --grid 256 --copies 4 --lf "$model" >/dev/null
build/generate-model --grid 255 --copies 1 --seed 2 "$work/grid65k.rk4" >/dev/null
mkdir -p "$work/50" "$work/500"
for i in $(seq 1 50); do build/generate-model --size 1 --seed "$i" "$work/50/model-$i.rk4" >/dev/null; done
for i in $(seq 1 500); do
  build/generate-model --size 0.0$((i % 5 + 1)) --seed "$i" "$work/500/model-$i.rk4" >/dev/null
done

# Native: the best of the runs, and its peak resident memory.
best=
for ((i = 0; i < runs; i++)); do
  /usr/bin/time -f '%e %M' -o "$work/time" build/ostrel "$model" -o "$work/native.glb" >/dev/null 2>&1
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
(cd web && node test/bench-page.mjs "$root/build-wasm/ostrel.html" "$model" "$root/examples/cube.rk4" \
  "$work/grid65k.rk4" "$runs" "$work/50" "$work/500") >"$work/page.json"

node - "$work/page.json" "$native" "$nativekb" "$nodeseconds" "$nodekb" <<'JS'
const fs = require('node:fs');
const [file, native, nativeKb, node, nodeKb] = process.argv.slice(2);
const r = JSON.parse(fs.readFileSync(file, 'utf8'));
const mb = (bytes) => `${Math.round(bytes / 1048576)} MB`;
const x = (s) => (s / Number(native)).toFixed(2);
console.log('| what | time | vs native | peak memory |');
console.log('|---|---|---|---|');
console.log(`| native build/ostrel, grid to glb with warnings | ${native} s | 1 | ${Math.round(nativeKb / 1024)} MB |`);
console.log(`| WebAssembly in Node (${process.version}), the conversion to glb | ${node} s | ${x(node)} | ${Math.round(nodeKb / 1024)} MB (process) |`);
console.log(`| the page: the file read in its worker | ${r.pick.reading.toFixed(2)} s | | |`);
console.log(`| the page: the import and the view's arrays in its worker | ${r.pick.worker.toFixed(2)} s | ${x(r.pick.worker)} | ${mb(r.pick.workerMemory)} (the worker's WebAssembly memory) |`);
console.log(`| the page: files in to its line | ${r.pick.toAnswer.toFixed(2)} s | ${x(r.pick.toAnswer)} | |`);
console.log(`| **the page: files in to the object drawn** | ${r.pick.pageView.toFixed(2)} s | ${x(r.pick.pageView)} | ${mb(r.pick.tabPeak)} (the tab: renderer process) |`);
console.log(`| the page: the harness's upload call to the object drawn | ${r.pick.view.toFixed(2)} s | ${x(r.pick.view)} | |`);
console.log(`| the page: a 65,025-point grid's scale edited to its view drawn again | ${r.edit.edit.toFixed(2)} s | | (worker ${r.edit.worker.toFixed(3)} s; harness ${r.edit.harness.toFixed(2)} s) |`);
console.log('');
console.log('| folder | models | MB | to the last card drawn | tab peak | tab after | worker |');
console.log('|---|---|---|---|---|---|---|');
for (const f of r.folders) {
  console.log(`| ${f.models} models | ${f.models} | ${f.megabytes.toFixed(1)} | ${f.lastCardDrawn.toFixed(2)} s | ${mb(f.tabPeak)} | ${mb(f.tabAfter)} | ${mb(f.workerMemory)} |`);
}
const s = r.folders[r.folders.length - 1].scroll;
if (s) {
  console.log('');
  console.log(`scrolling through ${r.folders[r.folders.length - 1].models} cards with the wheel (${s.seconds.toFixed(1)} s): ` +
    `${s.frames} frames drawn, ${s.framesOver50ms} longer than 50 ms (longest ${s.longestFrameMs} ms), ` +
    `${s.tasksOver50ms} main-thread tasks over 50 ms; ${s.cardsDrawn} pictures drawn`);
}
console.log('');
console.log(`page: ${fs.statSync('build-wasm/ostrel.html').size} bytes; first view of the cube: ${r.firstView.toFixed(2)} s from opening the page`);
JS
