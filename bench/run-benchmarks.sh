#!/usr/bin/env bash
# The import and the conversions against yardsticks, as ratios measured in
# one run: every program of a comparison runs in turn, round after round, so
# that the machine's load weighs on all of them alike; each figure is the
# median of the rounds, wall time and CPU time (user + system).
#
#   bench/run-benchmarks.sh [--build DIR] [--data DIR] [--runs N] [--seed N]
#                           [--sizes "1 4 16 64"] [--big] [--import PROGRAM]
#                           [--only import,growth,writers,writer-growth,geometry,triangles,
#                                   warnings,batch]
#                           [--before DIR]
#
# Sections (all by default):
#   import     `ostrel MODEL --check` against the line scan (the file read in
#              1 MiB blocks, every line end found with memchr) and against
#              tinyobjloader loading the same mesh as OBJ, on the grid (a
#              grid of 65,536 points four times, LF line ends, 27.6 MB) and
#              on the generator's 64 MB model
#   growth     the import per file size (1 to 64 MB, --big adds 200 MB):
#              time, throughput, peak memory, page faults, x line scan
#   writers    each output (glb, OBJ, FBX where built in, the trace)
#              against `--check` on the grid and on the 64 MB model, and
#              `--check` with its second read for the warnings
#   writer-growth
#              each output per file size (the sizes of growth): CPU time and
#              peak memory, and how they grow from one size to the next
#   geometry   conversions to glb of a cone of 10,000 to 65,000 triangles
#              round one apex and of a spiral band of 65,000 corners (one
#              face), against `--check` on the grid
#   triangles  triangulation alone of a spiral band of a million corners
#              (and of 65,000 corners at random, not simple: the fall-back)
#   warnings   what the warnings cost on the default path: `--check` and a
#              conversion to glb, both with warnings, against the quiet
#              import (`--check --quiet`), on the grid and the 64 MB model,
#              on every core and on one (taskset -c 0)
#   batch      a folder of 200 models of 1 MB converted to glb with
#              --out-dir: -j 2 against -j 1 (and peak memory)
#
# --before DIR adds the ostrel of another build folder (an earlier revision)
# to the import, writers, geometry, warnings and batch comparisons, so that before and after are
# measured side by side.
#
# The models are generated once into the data folder ($TMPDIR/ostrel-bench).
# The import is `ostrel MODEL --check`; --import runs PROGRAM MODEL instead
# (say, an import-check built from an older revision). Build first:
#   cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DOSTREL_BENCH=ON
#   cmake --build build-bench -j2
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-bench
data=${TMPDIR:-/tmp}/ostrel-bench
sizes="1 4 16 64"
runs=5
seed=1
only=import,growth,writers,writer-growth,geometry,triangles,warnings,batch
importOverride=
before=
while (($#)); do
  case $1 in
  --build) build=$2; shift 2 ;;
  --data) data=$2; shift 2 ;;
  --sizes) sizes=$2; shift 2 ;;
  --big) sizes="$sizes 200"; shift ;;
  --runs) runs=$2; shift 2 ;;
  --seed) seed=$2; shift 2 ;;
  --only) only=$2; shift 2 ;;
  --import) importOverride=$2; shift 2 ;;
  --before) before=$2; shift 2 ;;
  *) echo "unknown option $1" >&2; exit 64 ;;
  esac
done
want() { [[ ",$only," == *",$1,"* ]]; }

for tool in generate-model measure line-scan ostrel; do
  if [[ ! -x $build/$tool ]]; then
    echo "$build/$tool is missing: build with -DOSTREL_BENCH=ON first (see the top of $0)" >&2
    exit 1
  fi
done
haveObj=0
[[ -x $build/obj-load ]] && haveObj=1
mkdir -p "$data/out"

# quietFor DIR: "--quiet" when DIR's ostrel has it. By default ostrel reads
# the model a second time, with the reader's observer, to say what it left
# out; the import and the writers are measured without that read (the
# "warnings" rows measure it).
quietFor() { if "$1/ostrel" --help 2>/dev/null | grep -q -- --quiet; then echo --quiet; fi; }
quiet=$(quietFor "$build")

# import MODEL: the command words of the import of MODEL.
import() {
  if [[ -n $importOverride ]]; then
    printf '%q %q' "$importOverride" "$1"
  else
    printf '%q %q --check %s' "$build/ostrel" "$1" "$quiet"
  fi
}

# Generates a model (and its OBJ) once: model NAME GENERATOR-ARGS...
model() {
  local name=$1
  shift
  if [[ ! -s $data/$name.rk4 ]]; then
    "$build/generate-model" "$@" "$data/$name.rk4" >/dev/null
  fi
  cat "$data/$name.rk4" >/dev/null # warm the page cache
  [[ ! -f $data/$name.obj ]] || cat "$data/$name.obj" >/dev/null
}

. bench/measure.sh
row() { printf '  %-34s %8.3f s %8.3f s %9.1f MB\n' "$1" "${wall[$1]}" "${cpu[$1]}" "$(awk -v r="${rss[$1]}" 'BEGIN { print r / 1024 }')"; }
header() { printf '  %-34s %10s %10s %12s\n' program wall cpu peak; }

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg); $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "each figure: the median of $runs rounds, the programs of a comparison in turn"

gridModel=$data/grid.rk4
if want import || want geometry; then
  model grid --grid 256 --copies 4 --lf --obj "$data/grid.obj"
fi

if want import; then
  model m64 --size 64 --seed "$seed" --obj "$data/m64.obj"
  for name in grid m64; do
    file=$data/$name.rk4
    echo
    echo "import, $name ($(awk -v b="$(stat -c %s "$file")" 'BEGIN { printf "%.1f MB", b / 1048576 }')):"
    set -- "$name line scan" "$(printf '%q %q' "$build/line-scan" "$file")" \
      "$name import" "$(import "$file")"
    if ((haveObj)); then
      set -- "$@" "$name OBJ load" "$(printf '%q %q' "$build/obj-load" "$data/$name.obj")"
    fi
    if [[ -n $before ]]; then
      set -- "$@" "$name import before" "$(printf '%q %q --check %s' "$before/ostrel" "$file" "$(quietFor "$before")")"
    fi
    compare "$@"
    header
    row "$name line scan"
    row "$name import"
    if ((haveObj)); then row "$name OBJ load"; fi
    if [[ -n $before ]]; then row "$name import before"; fi
    echo "  import / line scan: $(ratio "$name import" "$name line scan")"
    if ((haveObj)); then echo "  import / OBJ load:  $(ratio "$name import" "$name OBJ load")"; fi
    if [[ -n $before ]]; then
      echo "  before / line scan: $(ratio "$name import before" "$name line scan")"
      if ((haveObj)); then echo "  before / OBJ load:  $(ratio "$name import before" "$name OBJ load")"; fi
      echo "  import / before:    $(ratio "$name import" "$name import before")"
    fi
  done
fi

if want growth; then
  echo
  echo "import growth (seed $seed):"
  printf '  %-5s %9s %9s %9s %9s %8s %9s %7s\n' MB wall_s cpu_s MB/s ns/line peak_MB faults x_scan
  prev=
  for size in $sizes; do
    model "m$size" --size "$size" --seed "$seed"
    file=$data/m$size.rk4
    bytes=$(stat -c %s "$file")
    lines=$("$build/line-scan" "$file" | awk '{ print $3 }')
    compare scan "$(printf '%q %q' "$build/line-scan" "$file")" "import $size" "$(import "$file")"
    awk -v s="$size" -v w="${wall[import $size]}" -v c="${cpu[import $size]}" -v b="$bytes" \
      -v l="$lines" -v r="${rss[import $size]}" -v f="${faults[import $size]}" -v sc="${cpu[scan]}" \
      'BEGIN { printf "  %-5s %9.3f %9.3f %9.1f %9.1f %8.1f %9d %7.2f\n", s, w, c, b / 1048576 / c,
                 c * 1e9 / l, r / 1024, f, c / sc }'
    if [[ -n $prev ]]; then
      awk -v s0="$prev" -v s1="$size" -v t0="${cpu[import $prev]}" -v t1="${cpu[import $size]}" \
        -v m0="${rss[import $prev]}" -v m1="${rss[import $size]}" \
        'BEGIN { printf "        %s -> %s MB (x%.2f): CPU time x%.2f, peak memory x%.2f\n",
                   s0, s1, s1 / s0, t1 / t0, m1 / m0 }'
    fi
    prev=$size
  done
fi

# The outputs the writers section times: "kind|options". Not LWOB: its
# layout numbers at most 65,536 points, fewer than these models have.
outputs=("glb|-o OUT.glb" "obj|-o OUT.obj" "trace|--trace OUT.trace")
if "$build/ostrel" --version | grep -q '^outputs:.* fbx'; then
  outputs+=("fbx|-o OUT.fbx")
fi
# outputCommand MODEL KIND-AND-OPTIONS: the command words writing MODEL so.
outputCommand() {
  local options=${2#*|}
  printf '%q %q %s %s' "$build/ostrel" "$1" "${options//OUT/$data/out/$(basename "$1" .rk4)}" \
    "$(quietFor "$build")"
}

if want writers; then
  model grid --grid 256 --copies 4 --lf --obj "$data/grid.obj"
  model m64 --size 64 --seed "$seed" --obj "$data/m64.obj"
  for name in grid m64; do
    file=$data/$name.rk4
    echo
    echo "writers, $name: each output against --check"
    set -- "$name --check" "$(printf '%q %q --check %s' "$build/ostrel" "$file" "$quiet")" \
      "$name --check with warnings" "$(printf '%q %q --check 2>/dev/null' "$build/ostrel" "$file")"
    for o in "${outputs[@]}"; do
      set -- "$@" "$name ${o%%|*}" "$(outputCommand "$file" "$o")"
      if [[ -n $before ]]; then
        set -- "$@" "$name ${o%%|*} before" "$(build=$before outputCommand "$file" "$o")"
      fi
    done
    compare "$@"
    header
    row "$name --check"
    row "$name --check with warnings"
    for o in "${outputs[@]}"; do
      row "$name ${o%%|*}"
      if [[ -n $before ]]; then row "$name ${o%%|*} before"; fi
    done
    printf '  %-34s %s\n' "$name warnings read / --check:" \
      "$(ratio "$name --check with warnings" "$name --check")"
    for o in "${outputs[@]}"; do
      printf '  %-34s %s\n' "$name ${o%%|*} / --check:" "$(ratio "$name ${o%%|*}" "$name --check")"
      if [[ -n $before ]]; then
        printf '  %-34s %s\n' "  before / --check:" "$(ratio "$name ${o%%|*} before" "$name --check")"
      fi
    done
  done
fi

if want writer-growth; then
  echo
  echo "writer growth (seed $seed): CPU time and peak memory per size, and their growth"
  for o in "${outputs[@]}"; do
    kind=${o%%|*}
    prev=
    for size in $sizes; do
      model "m$size" --size "$size" --seed "$seed"
      compare "$kind $size" "$(outputCommand "$data/m$size.rk4" "$o")"
      line=$(printf '  %-6s %4s MB: cpu %8.3f s, peak %7.1f MB' "$kind" "$size" "${cpu[$kind $size]}" \
        "$(awk -v r="${rss[$kind $size]}" 'BEGIN { print r / 1024 }')")
      if [[ -n $prev ]]; then
        line+=$(awk -v s0="$prev" -v s1="$size" -v t0="${cpu[$kind $prev]}" -v t1="${cpu[$kind $size]}" \
          -v m0="${rss[$kind $prev]}" -v m1="${rss[$kind $size]}" \
          'BEGIN { printf "  (x%.2f size: time x%.2f, memory x%.2f)", s1 / s0, t1 / t0, m1 / m0 }')
      fi
      echo "$line"
      prev=$size
    done
  done
fi

if want geometry; then
  echo
  echo "geometry: conversions to glb against --check on the grid:"
  set -- "grid --check" "$(printf '%q %q --check %s' "$build/ostrel" "$gridModel" "$quiet")"
  for n in 10000 20000 40000 65000; do
    model "cone$n" --cone "$n"
    set -- "$@" "cone of $n triangles" \
      "$(printf '%q %q -o %q' "$build/ostrel" "$data/cone$n.rk4" "$data/out/cone$n.glb")"
  done
  model spiral65000 --spiral 65000
  set -- "$@" "spiral band of 65000 corners" \
    "$(printf '%q %q -o %q' "$build/ostrel" "$data/spiral65000.rk4" "$data/out/spiral65000.glb")"
  if [[ -n $before ]]; then
    # The earlier revision's slowest cases once each is enough to compare.
    set -- "$@" "before: cone of 20000 triangles" \
      "$(printf '%q %q -o %q' "$before/ostrel" "$data/cone20000.rk4" "$data/out/cone20000-before.glb")"
  fi
  names=()
  for ((i = 1; i <= $#; i += 2)); do names+=("${!i}"); done
  compare "$@"
  header
  for name in "${names[@]}"; do
    row "$name"
  done
  for name in "${names[@]:1}"; do
    printf '  %-34s %s\n' "$name / grid --check:" "$(ratio "$name" "grid --check")"
  done
fi

if want triangles && [[ -x $build/triangulate-spiral ]]; then
  echo
  echo "triangulation alone (thread CPU time):"
  echo "  $("$build/triangulate-spiral" --corners 1000000 --runs "$runs")"
  echo "  $("$build/triangulate-spiral" --corners 65000 --runs "$runs")"
  echo "  $("$build/triangulate-spiral" --corners 65000 --scribble --runs "$runs")"
fi

if want warnings; then
  model grid --grid 256 --copies 4 --lf --obj "$data/grid.obj"
  model m64 --size 64 --seed "$seed" --obj "$data/m64.obj"
  oneCore=
  if taskset -c 0 true 2>/dev/null; then oneCore="taskset -c 0"; fi
  for name in grid m64; do
    file=$data/$name.rk4
    echo
    echo "warnings, $name: the default path (with warnings) against the quiet import"
    # builds: "after" and, with --before, "before"; cores: all, then one.
    labels=()
    set --
    for b in after ${before:+before}; do
      dir=$build
      [[ $b == before ]] && dir=$before
      for cores in "$(nproc) cores" ${oneCore:+"1 core"}; do
        prefix=
        [[ $cores == "1 core" ]] && prefix="$oneCore "
        label="$b, $cores"
        labels+=("$label")
        set -- "$@" \
          "$name $label: quiet import" "$prefix$(printf '%q %q --check %s' "$dir/ostrel" "$file" "$(quietFor "$dir")")" \
          "$name $label: --check" "$prefix$(printf '%q %q --check 2>/dev/null' "$dir/ostrel" "$file")" \
          "$name $label: glb" "$prefix$(printf '%q %q -o %q 2>/dev/null' "$dir/ostrel" "$file" "$data/out/$name-warnings-$b.glb")"
      done
    done
    compare "$@"
    header
    for label in "${labels[@]}"; do
      for what in "quiet import" --check glb; do row "$name $label: $what"; done
    done
    for label in "${labels[@]}"; do
      printf '  %-34s %s\n' "$label:" "--check / quiet import: $(ratio "$name $label: --check" "$name $label: quiet import")"
      printf '  %-34s %s\n' "" "glb / quiet import:     $(ratio "$name $label: glb" "$name $label: quiet import")"
    done
  done
fi

if want batch; then
  mkdir -p "$data/batch"
  for ((i = 1; i <= 200; i++)); do
    if [[ ! -s $data/batch/m$i.rk4 ]]; then
      "$build/generate-model" --size 1 --seed "$i" "$data/batch/m$i.rk4" >/dev/null
    fi
  done
  cat "$data"/batch/*.rk4 >/dev/null
  echo
  echo "batch: 200 models of 1 MB to glb with --out-dir ($(nproc) cores)"
  # The converter's lines go nowhere, through a shell of their own:
  # measure's line is what compare reads.
  batchCommand() { # PROGRAM OUT-DIR [OPTIONS]
    printf 'sh -c %q' "$(printf '%q' "$1") $(printf '%q' "$data/batch")/*.rk4 --out-dir $(printf '%q' "$data/out/$2") ${*:3} >/dev/null 2>&1"
  }
  set -- "batch -j 1" "$(batchCommand "$build/ostrel" batch-1 -j 1)" \
    "batch -j 2" "$(batchCommand "$build/ostrel" batch-2 -j 2)"
  if [[ -n $before ]]; then
    set -- "$@" "batch before" "$(batchCommand "$before/ostrel" batch-before)"
  fi
  compare "$@"
  header
  row "batch -j 1"
  row "batch -j 2"
  if [[ -n $before ]]; then row "batch before"; fi
  echo "  -j 2 / -j 1:    $(ratio "batch -j 2" "batch -j 1")"
  if [[ -n $before ]]; then echo "  -j 2 / before:  $(ratio "batch -j 2" "batch before")"; fi
fi
