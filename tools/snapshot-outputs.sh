#!/usr/bin/env bash
# Writes every output of one ostrel build for a fixed set of inputs, and a
# manifest of their hashes, so that two builds (before and after a change
# meant to keep outputs as they are, or the Linux and the Windows build) can
# be compared file by file:
#
#   tools/snapshot-outputs.sh [--locale LOCALE] OSTREL OUT_DIR
#   tools/snapshot-outputs.sh --compare OLD_DIR NEW_DIR
#
# OSTREL is build/ostrel or a Windows build's ostrel.exe; an .exe runs under
# Wine (the 64-bit one for a 64-bit program; prefix "wine" in the program's
# folder, made when missing), whose ANSI code page follows --locale
# (ja_JP.UTF-8: 932, en_US.UTF-8: 1252; default ja_JP.UTF-8).
# OUT_DIR is emptied first. Inputs: the examples, the test models, three
# models made by build/generate-model (the Linux build's; OSTREL_GENERATOR
# overrides), and copies of the cube under names in UTF-8 (and, on Linux, in
# Shift-JIS bytes). For each of a list of option sets (defaults, scale,
# load target, colours, smoothing, double-sided, names, panel behaviour,
# activation version, a scale beyond the float range): a trace per model,
# a --check batch, a summary batch, and an --out-dir batch per format the
# build writes (as --version names them). Then single cases: -o to files
# and to standard output, the terminal panel, usage errors, --help and
# --version, outputs refused. Every run keeps its standard output, standard
# error and exit status as files. Everything runs from OUT_DIR with
# relative paths, so no file holds a path of this machine.
#
# OUT_DIR/MANIFEST: one line per file, "SHA-256  PATH", sorted by path.
# --compare prints the files whose hashes differ, then those only in one of
# the two, and a count line; it exits 0 only when the manifests are equal.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [[ ${1:-} == --compare ]]; then
  [[ $# -eq 3 ]] || { echo "usage: $0 --compare OLD_DIR NEW_DIR" >&2; exit 64; }
  old=$2/MANIFEST
  new=$3/MANIFEST
  awk -v oldName="$2" -v newName="$3" '
    { hash = $1; sub(/^\\/, "", hash); key = substr($0, index($0, "  ") + 2) }
    FNR == NR { old[key] = hash; next }
    { if (!(key in old)) only_new[++n] = key
      else if (old[key] == hash) same++
      else { print "differs: " key; differ++ }
      seen[key] = 1 }
    END {
      for (key in old) if (!(key in seen)) { print "only in " oldName ": " key; o++ }
      for (i = 1; i <= n; i++) print "only in " newName ": " only_new[i]
      printf "%d files the same, %d differ, %d only in the old, %d only in the new\n",
        same, differ, o, n
      exit (differ + o + n) > 0
    }' "$old" "$new"
  exit
fi

locale=ja_JP.UTF-8
if [[ ${1:-} == --locale ]]; then
  locale=$2
  shift 2
fi
[[ $# -eq 2 ]] || { echo "usage: $0 [--locale LOCALE] OSTREL OUT_DIR | --compare OLD NEW" >&2; exit 64; }
ostrel=$(realpath "$1")
out=$2
generator=${OSTREL_GENERATOR:-$root/build/generate-model}
[[ -x $ostrel ]] || { echo "snapshot: no program $ostrel" >&2; exit 1; }
[[ -x $generator ]] || { echo "snapshot: no model generator $generator" >&2; exit 1; }

windows=0
if [[ $ostrel == *.exe ]]; then
  windows=1
  wine=$(command -v wine)
  if file -b "$ostrel" | grep -q "PE32+"; then
    wine=/usr/lib/wine/wine64
  fi
  export WINEPREFIX=${WINEPREFIX:-$(dirname "$ostrel")/wine}
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    "$wine" wineboot -i >/dev/null 2>&1 || { echo "snapshot: wineboot failed" >&2; exit 1; }
  fi
fi
# The program with ARGS; standard input from the file in $input.
program() {
  if ((windows)); then
    LANG=$locale LC_ALL=$locale timeout 300 "$wine" "$ostrel" "$@"
  else
    timeout 300 "$ostrel" "$@"
  fi
}

rm -rf "$out"
mkdir -p "$out"
out=$(realpath "$out")
cd "$out" || exit 1

# run NAME ARGS...: the program's standard output, standard error and exit
# status as NAME.stdout, NAME.stderr, NAME.exit; standard input from $input.
input=/dev/null
run() {
  local name=$1
  shift
  mkdir -p "$(dirname "$name")"
  program "$@" <"$input" >"$name.stdout" 2>"$name.stderr"
  echo $? >"$name.exit"
}

# ---------------------------------------------------------------- inputs
mkdir -p in
cp "$root"/examples/*.rk4 "$root"/tests/data/* in/
"$generator" --size 0.02 --seed 1 in/generated-small.rk4 >/dev/null &&
  "$generator" --size 0.3 --seed 2 --lf in/generated-mid.rk4 >/dev/null &&
  "$generator" --size 2 --seed 3 in/generated-big.rk4 >/dev/null ||
  { echo "snapshot: the generator failed" >&2; exit 1; }
cp in/cube.rk4 "in/日本.rk4"
cp in/cube.rk4 "in/a表b.rk4"
if ((!windows)); then
  cp in/cube.rk4 "in/sjis-"$'\x95\x5c\x8e\xa6'".rk4"
fi
models=()
for m in in/*; do
  models+=("$m")
done
read -r -a formats < <(program --version | sed -n 's/^outputs: //p')
((${#formats[@]})) || { echo "snapshot: the program names no output format" >&2; exit 1; }

# ----------------------------------------------------------- option sets
optionSets=(
  "defaults|"
  "scale-1|--scale 1"
  "load-lines|--load lines"
  "load-faces|--load faces"
  "colours-dark|--colours dark"
  "colours-bright|--colours=bright"
  "smooth-off|--smooth off"
  "angle-10|--angle 10"
  "double-sided|--double-sided on"
  "name-sjis|--name 表示"
  "name-utf8|--name 日本語"
  "name-ascii|--name box"
  "no-panel|--no-panel"
  "no-panel-edits|--no-panel --smooth off --scale 2"
  "no-panel-services|--no-panel-services"
  "cancel|--cancel"
  "activation-2|--activation-version 2"
  "small-screen|--screen 322x289"
  "scale-huge|--scale 1e300"
)
if ((!windows)); then
  optionSets+=("name-sjis-bytes|--name "$'\x95\x5c\x8e\xa6')
fi
for set in "${optionSets[@]}"; do
  name=${set%%|*}
  read -r -a args <<<"${set#*|}"
  dir=sets/$name
  for m in "${models[@]}"; do
    base=$(basename "$m")
    run "$dir/trace/$base" "${args[@]}" "$m" --trace "$dir/trace/$base.trace"
  done
  run "$dir/check" "${args[@]}" --check "${models[@]}"
  run "$dir/summary" "${args[@]}" "${models[@]}"
  for format in "${formats[@]}"; do
    run "$dir/out-$format" "${args[@]}" "${models[@]}" --out-dir "$dir/out-$format" --format "$format"
  done
done

# ---------------------------------------------------------- single cases
run single/obj in/cube.rk4 -o single/cube.obj
run single/obj-spaced in/cube.rk4 -o "single/my cube.obj"
run single/lwo-upper in/tetrahedron.rk4 -o single/TETRA.LWO
run single/lwo-points-only in/cube.rk4 -o single/points.lwo --load lines
run single/glb-stdout in/concave.rk4 -o - --format glb
run single/lwo-stdout-trace in/cube.rk4 -o single/t.lwo --trace -
run single/trace-stdout in/freelines.rk4 --trace - --load lines --colours bright
run single/null-device in/cube.rk4 -o /dev/null --format lwo
run single/no-folder in/cube.rk4 -o single/missing/cube.obj
run single/onto-model in/cube.rk4 -o in/cube.rk4 --format lwo
run single/trace-onto-model in/cube.rk4 --trace in/cube.rk4
run single/trace-no-folder in/cube.rk4 --trace single/missing/x.trace
run single/same-out-twice in/cube.rk4 in/tetra_crlf.rk4 "in/日本.rk4" --out-dir single/twice --format obj
run single/cannot-open in/no-such-model.rk4
run single/not-model in/not_model.txt -o single/n.lwo
run single/out-dir-made in/cube.rk4 --out-dir single/dir --format lwo
input=$root/tests/cli/interactive-input.txt
run single/interactive in/cube.rk4 --interactive --trace single/interactive.trace
run single/interactive-stdout in/cube.rk4 --interactive --trace -
input=/dev/null
run single/interactive-eof-cancel in/cube.rk4 --interactive --cancel
run single/interactive-eof-ok in/cube.rk4 --interactive -o single/eof.obj

# Usage: every one exits before anything is imported.
usageCases=(
  "help|--help"
  "help-short|-h"
  "version|--version"
  "none|"
  "unknown|--frob in/cube.rk4"
  "flag-value|--no-panel=1 in/cube.rk4"
  "load-bad|--load sideways in/cube.rk4"
  "colours-bad|--colours purple in/cube.rk4"
  "scale-bad|--scale abc in/cube.rk4"
  "scale-inf|--scale inf in/cube.rk4"
  "scale-missing|in/cube.rk4 --scale"
  "angle-bad|--angle 1e999 in/cube.rk4"
  "smooth-bad|--smooth maybe in/cube.rk4"
  "double-bad|--double-sided 2 in/cube.rk4"
  "screen-bad|--screen 10 in/cube.rk4"
  "screen-sign|--screen -1x5 in/cube.rk4"
  "version-bad|--activation-version x in/cube.rk4"
  "module-empty|--module= in/cube.rk4"
  "trace-empty|--trace= in/cube.rk4"
  "output-empty|-o= in/cube.rk4"
  "out-dir-empty|--out-dir= in/cube.rk4"
  "format-bad|--format dae in/cube.rk4 -o x.dae"
  "extension|in/cube.rk4 -o x.txt"
  "several-o|in/cube.rk4 in/tetrahedron.rk4 -o x.obj"
  "several-trace|in/cube.rk4 in/tetrahedron.rk4 --trace x.trace"
  "several-interactive|in/cube.rk4 in/tetrahedron.rk4 --interactive"
  "check-output|--check in/cube.rk4 -o x.obj"
  "o-and-out-dir|in/cube.rk4 -o x.obj --out-dir d --format obj"
  "format-alone|in/cube.rk4 --format glb"
  "out-dir-alone|in/cube.rk4 --out-dir d"
  "stdout-twice|in/cube.rk4 -o - --format lwo --trace -"
  "stdout-no-format|in/cube.rk4 -o -"
  "stdout-obj|in/cube.rk4 -o - --format obj"
  "format-contradicts|in/cube.rk4 -o x.obj --format glb"
  "mtl-name|in/cube.rk4 -o x.mtl --format obj"
  "end-of-options|-- --cube.rk4"
)
for case in "${usageCases[@]}"; do
  read -r -a args <<<"${case#*|}"
  run "usage/${case%%|*}" "${args[@]}"
done

# --------------------------------------------------------------- manifest
find . -type f ! -name MANIFEST -print0 | LC_ALL=C sort -z | xargs -0 sha256sum >MANIFEST
echo "snapshot: $(wc -l <MANIFEST) files in $out"
