#!/usr/bin/env bash
# The 32-bit Windows address space, under Wine (called by check-windows.sh,
# or on its own after it has built everything):
#  - a hostile file whose tables outgrow a 32-bit process (20 million faces of
#    no lines: 120 MB) ends with status 2 and result 0 and sends nothing;
#  - an ordinary generated model of 250 MB loads.
# Prints the peak memory and CPU time of each run (bench/measure's line:
# wall s, CPU s, peak KiB, minor faults, exit status).
#
# OSTREL_WINDOWS_LARGEST=1 also searches for the largest ordinary model that
# loads (to 40 MB; about ten minutes, files up to 1.5 GB).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=${1:-$(mktemp -d)}
mkdir -p "$work"

export WINEPREFIX=${WINEPREFIX:-$root/build-win32/wine}
export WINEDEBUG=-all
windows=$root/build-win32/ostrel.exe
cmake --build --preset default --target generate-model measure >/dev/null || exit 1
[[ -x $windows ]] || { echo "check-windows-memory: build the win32 preset first" >&2; exit 1; }
measure() { timeout 900 build/measure "$@"; }

failed=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
  fi
}

# Face records of no lines are three short text lines each, but every one
# becomes a stored face, a member of its own group and a polygon sent.
hostile=$work/hostile.rk4
{
  printf 'ROKU4 faces without lines\nPOINT\nLINE0\nFACE0\n'
  yes 0 | head -n 60000000
  printf 'END00\n'
} >"$hostile"
echo "hostile: $(stat -c %s "$hostile") bytes"
read -r wall cpu peak faults status < <(measure wine "$windows" "$hostile" --check --trace "$work/hostile.trace")
echo "hostile: wall ${wall} s, CPU ${cpu} s, peak $((peak / 1024)) MB, exit $status"
check "hostile: exit status 2" test "$status" = 2
check "hostile: status 2, result 0, nothing sent" test "$(cat "$work/hostile.trace")" = $'status 2\nresult 0'
rm -f "$hostile"

ordinary=$work/ordinary.rk4
build/generate-model --size 250 --seed 3 "$ordinary" >/dev/null
echo "ordinary: $(stat -c %s "$ordinary") bytes"
read -r wall cpu peak faults status < <(measure wine "$windows" "$ordinary" --check)
echo "ordinary: wall ${wall} s, CPU ${cpu} s, peak $((peak / 1024)) MB, exit $status"
check "ordinary 250 MB model: loads" test "$status" = 0
rm -f "$ordinary"

if [[ ${OSTREL_WINDOWS_LARGEST:-0} == 1 ]]; then
  lo=250
  hi=1500
  while ((hi - lo > 40)); do
    mid=$(((lo + hi) / 2))
    build/generate-model --size "$mid" --seed 3 "$ordinary" >/dev/null
    read -r wall cpu peak faults status < <(measure wine "$windows" "$ordinary" --check)
    echo "  $mid MB ($(stat -c %s "$ordinary") bytes): exit $status, CPU ${cpu} s, peak $((peak / 1024)) MB"
    if [[ $status == 0 ]]; then lo=$mid; else hi=$mid; fi
    rm -f "$ordinary"
  done
  echo "largest ordinary model that loads: $lo MB (fails at $hi MB)"
fi

((failed == 0))
