#!/usr/bin/env bash
# Import speed against the line-scan floor and an OBJ loader, per file size.
#
#   bench/run-benchmarks.sh [--build DIR] [--data DIR] [--sizes "1 4 16 64"] [--big]
#                           [--runs N] [--seed N] [--import PROGRAM]
#
# Generates (once, kept in the data folder) a model file of each size and the
# same mesh as OBJ, warms the page cache, then runs each program N times
# (default 5) and keeps the best wall and the best CPU time (user + system).
# Peak memory is the peak resident set; faults are minor page faults. The
# import is `ostrel MODEL --check` when the stand-in host has that option,
# otherwise bench/import-check (read, group, build into a counting sink).
# --import runs PROGRAM MODEL instead (say, an import-check built from an
# older revision, for before/after figures). --big adds a 200 MB file.
# Build first:
#   cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DOSTREL_BENCH=ON
#   cmake --build build-bench -j2
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-bench
data=${TMPDIR:-/tmp}/ostrel-bench
sizes="1 4 16 64"
runs=5
seed=1
importOverride=
while (($#)); do
  case $1 in
  --build) build=$2; shift 2 ;;
  --data) data=$2; shift 2 ;;
  --sizes) sizes=$2; shift 2 ;;
  --big) sizes="$sizes 200"; shift ;;
  --runs) runs=$2; shift 2 ;;
  --seed) seed=$2; shift 2 ;;
  --import) importOverride=$2; shift 2 ;;
  *) echo "unknown option $1" >&2; exit 64 ;;
  esac
done

for tool in generate-model measure line-scan; do
  if [[ ! -x $build/$tool ]]; then
    echo "$build/$tool is missing: build with -DOSTREL_BENCH=ON first (see the top of $0)" >&2
    exit 1
  fi
done
if [[ -n $importOverride ]]; then
  import=("$importOverride" MODEL)
  importName=$(basename "$importOverride")
elif [[ -x $build/ostrel ]] && "$build/ostrel" --help 2>&1 | grep -q -- '--check'; then
  import=("$build/ostrel" MODEL --check)
  importName="ostrel --check"
else
  import=("$build/import-check" MODEL)
  importName="import-check"
fi
haveObj=0
[[ -x $build/obj-load ]] && haveObj=1

mkdir -p "$data"
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg); best of $runs runs"
echo "import: $importName"
if [[ -x $build/page-touch ]]; then
  # What the tables' first touch costs here, on small and on huge pages.
  for mode in "" --huge; do
    echo "fresh memory: $(for i in 1 2 3; do "$build/page-touch" 64 $mode; done | sort -t, -k2 -n | head -1)"
  done
fi
printf '%-5s %-15s %9s %9s %9s %8s %9s %9s %7s\n' size program wall_s cpu_s MB/s ns/line peak_MB faults x_scan

# best_of NAME FILE COMMAND... -> sets best_wall best_cpu rss faults
best_of() {
  best_wall=999999 best_cpu=999999 rss=0 faults=0
  local i line wall cpu r f code
  for ((i = 0; i < runs; i++)); do
    line=$("$build/measure" "$@")
    read -r wall cpu r f code <<<"$line"
    if ((code != 0)); then
      echo "failed ($code): $*" >&2
      exit 1
    fi
    best_wall=$(awk -v a="$wall" -v b="$best_wall" 'BEGIN { print (a < b) ? a : b }')
    if awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then
      best_cpu=$cpu faults=$f
    fi
    if ((r > rss)); then rss=$r; fi
  done
}

# report SIZE NAME BYTES LINES SCAN_CPU
report() {
  awk -v size="$1" -v name="$2" -v bytes="$3" -v lines="$4" -v scan="$5" -v wall="$best_wall" \
    -v cpu="$best_cpu" -v rss="$rss" -v faults="$faults" 'BEGIN {
      printf "%-5s %-15s %9.3f %9.3f %9.1f %8.1f %9.1f %9d %7.2f\n", size, name, wall, cpu,
        bytes / 1048576 / cpu, cpu * 1e9 / lines, rss / 1024, faults, cpu / scan
    }'
}

declare -A importCpu importRss
for size in $sizes; do
  model=$data/m$size-s$seed.rk4
  obj=$data/m$size-s$seed.obj
  if [[ ! -s $model || ! -s $obj ]]; then
    "$build/generate-model" --size "$size" --seed "$seed" --obj "$obj" "$model" >/dev/null
  fi
  cat "$model" "$obj" >/dev/null # warm the page cache
  bytes=$(stat -c %s "$model")
  lines=$("$build/line-scan" "$model" | awk '{ print $3 }')

  best_of "$build/line-scan" "$model"
  scan=$best_cpu
  report "$size" line-scan "$bytes" "$lines" "$scan"

  best_of "${import[@]/MODEL/$model}"
  report "$size" "$importName" "$bytes" "$lines" "$scan"
  importCpu[$size]=$best_cpu
  importRss[$size]=$rss

  if ((haveObj)); then
    objBytes=$(stat -c %s "$obj")
    objLines=$("$build/line-scan" "$obj" | awk '{ print $3 }')
    best_of "$build/obj-load" "$obj"
    report "$size" "obj-load (OBJ)" "$objBytes" "$objLines" "$scan"
    awk -v a="${importCpu[$size]}" -v b="$best_cpu" \
      'BEGIN { printf "      OBJ load time / import time, same mesh: %.2f (above 1: the import is faster)\n", b / a }'
  fi
done

# Growth from each size to the next: time and memory per unit of file size.
prev=
for size in $sizes; do
  if [[ -n $prev ]]; then
    awk -v s0="$prev" -v s1="$size" -v t0="${importCpu[$prev]}" -v t1="${importCpu[$size]}" \
      -v m0="${importRss[$prev]}" -v m1="${importRss[$size]}" 'BEGIN {
        printf "%s -> %s MB (x%.2f): import CPU time x%.2f, peak memory x%.2f\n",
          s0, s1, s1 / s0, t1 / t0, m1 / m0
      }'
  fi
  prev=$size
done
