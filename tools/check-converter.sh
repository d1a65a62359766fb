#!/usr/bin/env bash
# Reads the converter's output back with other programs' readers, for every
# example and test model: OBJ + MTL with assimp (counts, material colours),
# LWOB with osgconv (a smoke check: it drops 1- and 2-point polygons) and
# with a current assimp built to WebAssembly (points, triangles, surfaces),
# every .glb with the Khronos glTF validator, and the OBJ, glb and FBX of
# every model imported by Blender in one run (tools/blender-check.py:
# polygon counts, materials and colours, normals); then the batch rule that
# a failed file leaves no output behind. Expectations come from the call
# trace, not from the writers. Builds the default preset's ostrel first.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

cmake --preset default >/dev/null && cmake --build --preset default --target ostrel ostrel_module >/dev/null || exit 1
ostrel=$root/build/ostrel
(cd tests/convert/node && npm ci --no-audit --no-fund --silent) || { echo "npm ci failed"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. tools/checks.sh

shopt -s nullglob
models=(examples/*.rk4 tests/data/*.rk4)
# What is written of each model, a damaged one (a test model cut short on
# purpose) as read: --salvage writes it and exits 9.
convert() {
  "$ostrel" --salvage "$@"
  local status=$?
  ((status == 0 || status == 9))
}
mkdir -p "$work/glb" "$work/lwob" "$work/blender"
: >"$work/lwob.expected"
for model in "${models[@]}"; do
  name=$(basename "$model" .rk4)
  out=$work/$name
  mkdir -p "$out"
  convert "$model" --trace "$out/trace" >/dev/null || { check "$model: import" false; continue; }
  # From the trace: polygons with vertices, their corners, corners of the
  # 3+ polygons (0 when one has more than 4: osgconv cuts those into fans),
  # surfaces looked up; per surface with a block "name r g b".
  read -r faces corners solidCorners surfaces < <(awk '
    /^addPolygon/ { if ($2 > 0) { f++; c += $2; if ($2 >= 3) s += $2; if ($2 > 4) big = 1 } }
    /^lookupSurface/ { n++ }
    END { print f + 0, c + 0, big ? 0 : s + 0, n + 0 }' "$out/trace")
  awk 'function digit(c) { return index("0123456789ABCDEF", c) - 1 }
       function byte(h, i) { return 16 * digit(substr(h, i, 1)) + digit(substr(h, i + 1, 1)) }
       /^storeSurfaceData/ && $2 !~ /\\/ {
         name = $2; gsub(/"/, "", name); h = $4
         printf "%s %.6f %.6f %.6f\n", name, byte(h, 13) / 255, byte(h, 15) / 255, byte(h, 17) / 255
       }' "$out/trace" >"$out/colours.expected"

  convert "$model" -o "$out/$name.obj" >/dev/null &&
    assimp info "$out/$name.obj" -vds >"$out/info" 2>&1 &&
    assimp export "$out/$name.obj" "$out/$name.assxml" >/dev/null 2>&1
  if ((faces == 0)); then
    # assimp refuses an OBJ without faces ("no data"): nothing to read back.
    check "$model: OBJ written" test -s "$out/$name.obj"
  else
  info_value() { awk -v k="$1" -F: '$1 == k { gsub(/ /, "", $2); print $2 }' "$out/info"; }
  check "$model: assimp faces" same faces "$faces" "$(info_value Faces)"
  check "$model: assimp vertices (corners)" same vertices "$corners" "$(info_value Vertices)"
  # The OBJ reader adds its own DefaultMaterial.
  check "$model: assimp materials" same materials "$((surfaces + 1))" "$(info_value Materials)"
  awk '/"\?mat.name"/ { getline; getline; name = $1; gsub(/"/, "", name) }
       /"\$clr.diffuse"/ { getline; getline; if (name != "DefaultMaterial") print name, $1, $2, $3 }' \
    "$out/$name.assxml" >"$out/colours.read"
  while read -r surface r g b; do
    check "$model: assimp colour of $surface" same "$surface" "$surface $r $g $b" \
      "$(grep "^$surface " "$out/colours.read")"
  done <"$out/colours.expected"
  fi

  convert "$model" -o "$out/$name.lwo" >/dev/null &&
    osgconv "$out/$name.lwo" "$out/$name.osgt" >/dev/null 2>&1
  check "$model: osgconv reads the LWOB" test -s "$out/$name.osgt"
  if ((solidCorners > 0)); then
    check "$model: osgconv corners" same corners "$solidCorners" \
      "$(awk '$1 == "Count" { s += $2 } END { print s + 0 }' "$out/$name.osgt")"
  fi


  # assimp's reader: distinct positions of the points polygons use, the
  # triangles of the 3+ polygons, the surfaces polygons use.
  cp "$out/$name.lwo" "$work/lwob/$name.lwo"
  awk -v path="$work/lwob/$name.lwo" '
    /^addPoints/ { at[n++] = ($2 + 0) " " ($3 + 0) " " ($4 + 0) }
    /^addPolygon/ && $2 > 0 {
      s[$3] = 1
      for (i = 4; i <= NF; i++) used[at[$i]] = 1
      if ($2 >= 3) t += $2 - 2
    }
    END { p = 0; for (k in used) p++; q = 0; for (k in s) q++
          # assimp refuses an LWOB without polygons.
          if (q == 0) print path ": not read (import_error)"
          else print path, "points", p, "triangles", t + 0, "surfaces", q }' "$out/trace" \
    >>"$work/lwob.expected"

  cp "$out/trace" "$work/blender/$name.trace"
  cp "$out/$name.obj" "$out/$name.mtl" "$work/blender/"
  for format in glb gltf fbx; do
    convert "$model" -o "$work/blender/$name.$format" >/dev/null ||
      check "$model: $format written" false
  done
  cp "$work/blender/$name.glb" "$work/blender/$name.gltf" "$work/glb/"
done
# assimp triangulates the comb of concave.rk4 (a 16-corner face) into 11
# triangles rather than 14; the other counts must match exactly.
sed -i "s|^\($work/lwob/concave.lwo points 48 triangles\) 64|\1 61|" "$work/lwob.expected"
check "assimp (WebAssembly) reads every LWOB" same counts "$(sort "$work/lwob.expected")" \
  "$(node tests/convert/node/lwob-counts.mjs "$work"/lwob/*.lwo)"
# One Blender run for all files (its start takes a few seconds); only
# failures and errors are shown.
blender_check() {
  blender -b --python-exit-code 1 --python tools/blender-check.py -- "$@" >"$work/blender.out" 2>&1
  local status=$?
  grep -E '^blender:|Error|Traceback' "$work/blender.out" | grep -v ': ok$'
  echo "blender: $(grep -c '^blender:.*: ok$' "$work/blender.out") imports ok"
  return $status
}
traces=("$work"/blender/*.trace)
check "Blender imports every OBJ, glb, glTF and FBX" blender_check "${traces[@]}"
glbs=("$work"/glb/*.glb)
gltfs=("$work"/glb/*.gltf)
check "glTF validator: every .glb and .gltf without errors" node tests/convert/node/validate.mjs \
  "${glbs[@]}" "${gltfs[@]}"
check "one .glb per model" same glbs "${#models[@]}" "${#glbs[@]}"
check "one .gltf per model" same gltfs "${#models[@]}" "${#gltfs[@]}"

# The batch: one good file, one that is not a model file; the failure is
# named, the exit status is non-zero, and only the good file's output (and
# no temporary) is left.
printf 'not a model\n' >"$work/bad.rk4"
mkdir -p "$work/batch"
"$ostrel" examples/cube.rk4 "$work/bad.rk4" --out-dir "$work/batch" --format obj \
  >"$work/batch.out" 2>"$work/batch.err"
status=$?
check "batch: non-zero exit" test "$status" -ne 0
check "batch: the failure named" grep -q "failed: $work/bad.rk4" "$work/batch.err"
check "batch: only the good output" same files "cube.mtl cube.obj" "$(ls -A "$work/batch" | xargs)"
check "batch: --check lines" same lines 2 \
  "$("$ostrel" examples/cube.rk4 examples/tetrahedron.rk4 --check | grep -c '; ok$')"

echo "converter readers: $passed passed, $failed failed"
((failed == 0))
