#!/usr/bin/env bash
# The formats a printer takes (STL, PLY, 3MF) read back by the programs people
# print with, for every example and test model, the cube opened on purpose (its
# last face taken out) and a grid of 203,401 points (405,000 triangles).
# Expectations come from the object the engine received
# (tools/print-expected.py), never from the writers:
# - PrusaSlicer's command line loads each STL and 3MF: `--info` gives the
#   triangles (with those its repair removed), the size and whether the
#   object is closed as the closed-solid line says; it refuses only open
#   objects (its repair drops facets joined to no other, and it reads no
#   binary STL under 4 triangles); the closed examples slice to G-code;
# - Blender's STL and PLY importers read every face
#   (tools/blender-print-check.py);
# - assimp (WebAssembly, tests/convert/node) reads every triangle of all three;
# - lib3mf (build/read-3mf) reads every triangle of the 3MF, in millimetres,
#   with each surface's name and colour and the triangles that take it.
# Ends with the closed-solid line of each model beside PrusaSlicer's verdict.
set -uo pipefail
cd "$(dirname "$0")/.."

if ! command -v prusa-slicer >/dev/null; then
  echo "prusa-slicer is not installed (tools/install-deps.sh installs it)"
  exit 77
fi
cmake --preset default >/dev/null &&
  cmake --build --preset default --target ostrel ostrel_module ostrel_engine generate-model \
    read-3mf >/dev/null || exit 1
ostrel=$PWD/build/ostrel
(cd tests/convert/node && npm ci --no-audit --no-fund --silent) || { echo "npm ci failed"; exit 1; }
work=$(mktemp -d)
trap '[[ -n ${KEEP:-} ]] || rm -rf "$work"' EXIT
. tools/checks.sh

# The models: the cube without its last face (its last seven lines before
# END00) is open on purpose.
mkdir -p "$work/in"
cp examples/*.rk4 tests/data/*.rk4 "$work/in/"
awk '{ line[NR] = $0 } /^END00/ { end = NR } END {
       for (i = 1; i <= NR; i++) if (i < end - 7 || i >= end) print line[i] }' \
  examples/cube.rk4 >"$work/in/open-cube.rk4"
build/generate-model --grid 451 "$work/in/grid451.rk4" >/dev/null || exit 1
/usr/bin/python3 tools/print-expected.py build/libostrel_engine.so "$work"/in/*.rk4 \
  >"$work/expected" || exit 1

info() { awk -F' = ' -v k="$2" '$1 == k { print $2 }' "$1"; }
# Whether two sizes agree within what 6 decimals and float coordinates allow.
near() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; if (d < 0) d = -d
                                          m = a < 0 ? -a : a; exit !(d <= 1e-4 * (m > 1 ? m : 1)) }'; }

blender_args=()
assimp_files=()
read_3mf=()
: >"$work/assimp.expected"
: >"$work/lib3mf.expected"
: >"$work/table"
for model in "$work"/in/*.rk4; do
  name=$(basename "$model" .rk4)
  read -r faces triangles whole sx sy sz < <(awk -v m="$model" '$1 == m && $2 == "faces" {
    print $3, $5, $7, $9, $10, $11 }' "$work/expected")
  for format in stl ply 3mf; do
    "$ostrel" "$model" -o "$work/$name.$format" --salvage >"$work/$name.$format.out" 2>/dev/null
    status=$?
    check "$name: $format written" test "$status" -eq 0 -o "$status" -eq 9
  done
  line=$(sed -n 2p "$work/$name.stl.out")
  check "$name: the same closed-solid line for STL and 3MF" same line "$line" \
    "$(sed -n 2p "$work/$name.3mf.out")"
  if ((faces == 0)); then
    check "$name: no faces, said" same line "$model: no faces: nothing to print" \
      "$(cut -d';' -f1 <<<"$line")"
    continue
  fi
  closed=no
  [[ $line == "$model: a closed solid"* ]] && closed=yes
  verdicts=""
  for format in stl 3mf; do
    want=$triangles
    [[ $format == 3mf ]] && want=$whole
    prusa-slicer --info "$work/$name.$format" >"$work/$name.$format.info" 2>/dev/null
    if ! grep -q '^number_of_facets' "$work/$name.$format.info"; then
      # Its repair on loading drops every facet joined to no other, and it
      # reads no binary STL of fewer than 4 triangles: only an open object.
      check "$name: PrusaSlicer refuses the $format of an open object only" same closed no "$closed"
      verdicts+=" | $format: not loaded"
      continue
    fi
    # What its repair removed (facets joined to no other) counts too.
    removed=$(info "$work/$name.$format.info" facets_removed)
    check "$name: PrusaSlicer reads the $format's triangles" same triangles "$want" \
      "$(($(info "$work/$name.$format.info" number_of_facets) + ${removed:-0}))"
    manifold=$(info "$work/$name.$format.info" manifold)
    open=$(info "$work/$name.$format.info" open_edges)
    verdicts+=" | $format: manifold $manifold${open:+, $open open edges}${removed:+, $removed facets removed}"
    [[ -n $removed ]] && continue # then its size and edges are of what it kept
    for axis in x y z; do
      size=$(eval echo "\$s$axis")
      check "$name: PrusaSlicer's size_$axis of the $format" \
        near "$size" "$(info "$work/$name.$format.info" "size_$axis")" ||
        echo "  expected $size, got $(info "$work/$name.$format.info" "size_$axis")"
    done
    check "$name: PrusaSlicer calls the $format closed as the line does" same closed \
      "$closed" "$manifold"
  done
  printf '%s%s\n' "${line#"$work/in/"}" "$verdicts" >>"$work/table"
  # The closed examples print. The tetrahedron stands on its tip, as the host
  # shows it: it is turned onto its base, as a user would in the slicer.
  if [[ $model == */in/cube.rk4 || $model == */in/tetrahedron.rk4 ]]; then
    turn=()
    [[ $name == tetrahedron ]] && turn=(--rotate-x 180)
    prusa-slicer "${turn[@]}" --export-gcode "$work/$name.3mf" --output "$work/$name.gcode" \
      >/dev/null 2>&1
    check "$name: PrusaSlicer slices it to G-code" grep -q '^G1 ' "$work/$name.gcode"
  fi
  blender_args+=("$work/$name.stl" "$triangles" "$work/$name.ply" "$faces")
  read_3mf+=("$work/$name.3mf")
  assimp_files+=("$work/$name.stl" "$work/$name.ply" "$work/$name.3mf")
  for format in stl ply 3mf; do
    want=$triangles
    [[ $format == 3mf ]] && want=$whole
    echo "$work/$name.$format faces triangles $want" >>"$work/assimp.expected"
  done
  echo "$work/$name.3mf unit 1 objects 1 triangles $whole" >>"$work/lib3mf.expected"
  awk -v m="$model" -v f="$work/$name.3mf" '$1 == m && $2 == "surface" {
    print f, "material", $3, $4, $5 "FF", "triangles", $7 }' "$work/expected" \
    >>"$work/lib3mf.expected"
done

# assimp: every triangle. It cuts the PLY's polygons itself, and the comb of
# concave.rk4 (a 16-corner face) into 11 triangles rather than 14.
sed -i "s|^\($work/concave.ply faces triangles\) 64|\1 61|" "$work/assimp.expected"
node tests/convert/node/print-counts.mjs "${assimp_files[@]}" |
  awk '{ print $1, "faces triangles", $5 }' >"$work/assimp.read"
check "assimp reads every triangle of the STL, PLY and 3MF files" same counts \
  "$(sort "$work/assimp.expected")" "$(sort "$work/assimp.read")"
# lib3mf: the triangles, the unit, and each surface's material.
build/read-3mf "${read_3mf[@]}" | sed 's/ vertices [0-9]* warnings 0$//' >"$work/lib3mf.read"
check "lib3mf reads every triangle, material, colour and name of the 3MF files" same materials \
  "$(sort "$work/lib3mf.expected")" "$(sort "$work/lib3mf.read")"
blender_check() {
  blender -b --python-exit-code 1 --python tools/blender-print-check.py -- "$@" \
    >"$work/blender.out" 2>&1
  local status=$?
  grep -E '^blender:|Error|Traceback' "$work/blender.out" | grep -v ': ok$'
  echo "blender: $(grep -c '^blender:.*: ok$' "$work/blender.out") imports ok"
  return $status
}
check "Blender's importers read every face of the STL and PLY files" blender_check \
  "${blender_args[@]}"

echo "the closed-solid line | what PrusaSlicer's --info says"
cat "$work/table"
echo "printing formats: $passed passed, $failed failed"
((failed == 0))
