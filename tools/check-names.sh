#!/usr/bin/env bash
# Surface names in every output format, read back by other programs: a
# Shift-JIS --name (表示, whose first character's second byte is 0x5C), a
# model file named in UTF-8 (日本.rk4), and a name of bytes that are neither.
# LWOB must hold the bytes the host received; OBJ/MTL and glb the UTF-8 text
# (or its "\xHH" escapes), and so must 3MF's base materials; the Khronos
# validator must pass every glb; Blender must read the same material names
# from OBJ and glb (and FBX, when the converter writes it). Also the
# terminal: paths shown as UTF-8, and a file that cannot be written is
# exit 6 with one line naming it. Builds the default preset's ostrel first.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

cmake --preset default >/dev/null && cmake --build --preset default --target ostrel ostrel_module >/dev/null || exit 1
ostrel=$root/build/ostrel
if [[ ! -d tests/convert/node/node_modules/gltf-validator ]]; then
  (cd tests/convert/node && npm ci --no-audit --no-fund --silent) || { echo "npm ci failed"; exit 1; }
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. tools/checks.sh

# The names in FILE, space-separated in file order: LWOB's SRFS with every
# byte outside printable ASCII, and the backslash, as \xHH; the material
# names of a glb's or a .gltf's JSON and of an MTL's newmtl lines as they
# stand.
names_of() {
  python3 - "$1" <<'EOF'
import json, struct, sys
path = sys.argv[1]
data = open(path, "rb").read()
if path.endswith(".lwo"):
    at = data.index(b"SRFS")
    length = struct.unpack(">I", data[at + 4 : at + 8])[0]
    raw = [n for n in data[at + 8 : at + 8 + length].split(b"\0") if n]
    names = ["".join(chr(b) if 0x20 < b < 0x7F and b != 0x5C else "\\x%02x" % b for b in n) for n in raw]
elif path.endswith(".glb"):
    length = struct.unpack("<I", data[12:16])[0]
    names = [m.get("name", "") for m in json.loads(data[20 : 20 + length].decode("utf-8"))["materials"]]
elif path.endswith(".gltf"):
    names = [m.get("name", "") for m in json.loads(data.decode("utf-8"))["materials"]]
elif path.endswith(".3mf"):
    import io, zipfile, xml.etree.ElementTree as ET
    model = zipfile.ZipFile(io.BytesIO(data)).read("3D/3dmodel.model")
    names = [e.get("name") for e in ET.fromstring(model).iter() if e.tag.endswith("}base")]
else:
    text = data.decode("utf-8")  # fails on anything that is not UTF-8
    names = [line[7:] for line in text.splitlines() if line.startswith("newmtl ")]
print(" ".join(names))
EOF
}

# The formats this build writes, as --version names them.
read -r -a formats < <("$ostrel" --version | sed -n 's/^outputs: //p')

sjis=$'\x95\x5c\x8e\xa6'
blenderFiles=()
blenderExpected=()
# convert_case LABEL LWOB-NAMES UTF8-NAMES OSTREL-ARGUMENTS...: the model
# converted to every format, the names in each file as expected.
convert_case() {
  local label=$1 lwobNames=$2 utf8Names=$3
  shift 3
  local stem=$work/${label// /-} format out status
  for format in "${formats[@]}"; do
    out=$stem.$format
    "$ostrel" "$@" -o "$out" >"$stem.out" 2>"$stem.err"
    status=$?
    check "$label $format: written (exit $status) $(head -c 200 "$stem.err")" \
      test "$status" -eq 0 -a -s "$out" || continue
    case $format in
    lwo) check "$label LWOB: the bytes received" same names "$lwobNames" "$(names_of "$out")" ;;
    obj)
      check "$label MTL: UTF-8 names" same names "$utf8Names" "$(names_of "${out%.obj}.mtl")"
      check "$label OBJ: UTF-8 usemtl" same names "$utf8Names" \
        "$(awk '$1 == "usemtl" && !seen[$2]++ { print $2 }' "$out" | paste -sd' ')"
      ;;
    glb | gltf)
      check "$label $format: UTF-8 names" same names "$utf8Names" "$(names_of "$out")"
      check "$label $format: validator" node tests/convert/node/validate.mjs "$out"
      ;;
    3mf) check "$label 3MF: UTF-8 base material names" same names "$utf8Names" "$(names_of "$out")" ;;
    esac
    # Blender reads the names back from the formats that carry materials
    # and that it opens itself: not LWOB (checked above), pictures, STL
    # and PLY (no names) or 3MF (no importer in Blender).
    case $format in
    obj | glb | gltf | fbx)
      blenderFiles+=("$out")
      blenderExpected+=("$utf8Names")
      ;;
    esac
  done
}

convert_case shift-jis '\x95\x5c\x8e\xa60 \x95\x5c\x8e\xa61 \x95\x5c\x8e\xa62' '表示0 表示1 表示2' \
  examples/cube.rk4 --name "$sjis"
cp examples/cube.rk4 "$work/日本.rk4"
convert_case utf-8-file '\xe6\x97\xa5\xe6\x9c\xac0 \xe6\x97\xa5\xe6\x9c\xac1 \xe6\x97\xa5\xe6\x9c\xac2' \
  '日本0 日本1 日本2' "$work/日本.rk4"
convert_case neither '\xff\xfe0 \xff\xfe1 \xff\xfe2' '\xff\xfe0 \xff\xfe1 \xff\xfe2' \
  examples/cube.rk4 --name $'\xff\xfe'

# Blender's own importers, all files in one session.
blender -b --factory-startup --python tools/blender-material-names.py -- "${blenderFiles[@]}" \
  >"$work/blender.out" 2>&1
for i in "${!blenderFiles[@]}"; do
  f=${blenderFiles[$i]}
  got=$(awk -F'\t' -v f="$f" '$1 == "materials" && $2 == f {
    for (i = 3; i <= NF; i++) printf "%s%s", $i, (i < NF ? " " : "") }' "$work/blender.out")
  check "Blender reads ${f#"$work/"}" same materials "${blenderExpected[$i]}" "$got"
done

# The terminal: paths as UTF-8 whatever the bytes they came in.
cp examples/cube.rk4 "$work/$sjis.rk4"
check "status line: a UTF-8 path kept" same line "$work/日本.rk4 -> $work/a.lwo" \
  "$("$ostrel" "$work/日本.rk4" -o "$work/a.lwo" | cut -d: -f1)"
check "status line: a Shift-JIS path decoded" same line "$work/表示.rk4: 8 points" \
  "$("$ostrel" "$work/$sjis.rk4" | cut -d, -f1)"
# A file that cannot be written: exit 6, one line naming it, nothing left.
"$ostrel" examples/cube.rk4 --name "$sjis" -o "$work/missing/$sjis.glb" >/dev/null 2>"$work/fail.err"
status=$?
check "unwritable output: exit 6" same status 6 "$status"
check "unwritable output: one line naming the file" same message \
  "1 ostrel: examples/cube.rk4: not written: $work/missing/表示.glb: cannot write (no folder $work/missing/)" \
  "$(wc -l <"$work/fail.err") $(cat "$work/fail.err")"

echo "names in outputs: $passed passed, $failed failed"
((failed == 0))
