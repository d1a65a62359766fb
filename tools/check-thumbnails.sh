#!/usr/bin/env bash
# The Explorer thumbnail handler (explorer/, ostrel-thumbnails.dll) under the
# 64-bit Wine, driven by thumbnail_host (tests/explorer/host/), which plays
# the shell: the DLL loaded and its class object asked for, or COM's own
# creation through the per-user registration; a stream over the model; a
# bitmap asked for.
#
#  - the DLL as a file: a PE32+ COM server with exactly the server's exports,
#    importing system DLLs only (ostrel-checkdll --server);
#  - the thumbnail's tests, built for Windows;
#  - for every example and test model, the 256-pixel bitmap is the picture
#    `ostrel MODEL -o x.png --size 256` writes on Linux, pixel for pixel
#    (premultiplied BGRA, top-down), or an error where that draws nothing;
#  - the calls out of order, a stream past the size bound, no model file;
#  - the fuzz corpus and the pinned regressions one after another in one
#    process: an error for each file the Linux build cannot import, no crash;
#  - registered for the current user by regsvr32 /n /i:user (keys under
#    HKEY_CURRENT_USER only), found as the shell finds it (the .rk4
#    extension's entry, its class, the server the class names) and drawing,
#    and removed again by regsvr32 /u /n /i:user;
#  - 200 model files in a row: the time per thumbnail and the process's
#    private bytes, which must stay flat; then larger models' times.
#
# Skipped (exit 77, one line) where the 64-bit Wine is missing.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

start=$SECONDS
step() { printf -- '---- %s (%ds)\n' "$*" $((SECONDS - start)); }
. tools/checks.sh

wineBinary=/usr/lib/wine/wine64
if [[ ! -x $wineBinary ]]; then
  echo "the 64-bit Wine is missing (tools/install-deps.sh installs wine64)" >"${OSTREL_SKIP_NOTE:-/dev/stdout}"
  exit 77
fi

work=$(mktemp -d)
cleanup() {
  [[ -n ${WINEPREFIX:-} ]] && wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
[[ -n ${OSTREL_KEEP_WORK:-} ]] && trap - EXIT

step "build: Linux (build) and 64-bit Windows (build-win64)"
cmake --preset default >/dev/null &&
  cmake --build --preset default --target ostrel ostrel-checkdll generate-model >/dev/null || exit 1
cmake --preset win64 >/dev/null &&
  cmake --build --preset win64 --target ostrel_thumbnails thumbnail_host explorer_tests >/dev/null ||
  exit 1
dll=build-win64/ostrel-thumbnails.dll
host=build-win64/thumbnail_host.exe

step "the DLL as a file: $dll"
build/ostrel-checkdll --server $dll >"$work/checkdll.log"
check "ostrel-checkdll --server $dll" test $? -eq 0 || cat "$work/checkdll.log"
sed -n 's/^\(machine\|exports\|imports\): */  \1: /p' "$work/checkdll.log"

# A prefix of its own: the registration below writes into its user's hive.
use_wine_prefix "$root/build-win64/wine-thumbnails" "$wineBinary" || exit 1
wine() { timeout 600 "$wineBinary" "$@"; }

step "the thumbnail's tests, built for Windows"
(cd build-win64 && wine ./explorer_tests.exe --gtest_brief=1 >"$work/tests.log" 2>&1)
check "explorer_tests.exe passes" test $? -eq 0 || tail -20 "$work/tests.log"

step "pixels: the bitmap is the Linux build's png, premultiplied"
mkdir -p "$work/png" "$work/rows"
shopt -s nullglob
drawn=0
for model in examples/*.rk4 tests/data/*.rk4; do
  name=$(basename "$model" .rk4)
  build/ostrel "$model" -o "$work/png/$name.png" --size 256 >/dev/null 2>&1
  linux=$?
  wine $host picture $dll 256 "$model" "$work/rows/$name" >"$work/picture.out" 2>&1
  windows=$?
  if ((windows == 0)); then
    check "$name: a 256x256 32-bit bitmap with alpha (WTSAT_ARGB)" \
      grep -qx $'256x256 32-bit alpha 2\r\\?' "$work/picture.out" || cat "$work/picture.out"
    check "$name: the pixels of the Linux build's png" \
      python3 tools/thumbnail-pixels.py "$work/png/$name.png" "$work/rows/$name"
    drawn=$((drawn + 1))
  elif ((linux == 0)); then
    check "$name: no thumbnail only where the png shows nothing" \
      python3 tools/thumbnail-pixels.py --transparent "$work/png/$name.png"
  else
    check "$name: refused ($(tr -d '\r' <"$work/picture.out")) as on Linux" \
      grep -q '^0x8004b200' "$work/picture.out"
  fi
done
check "$drawn models drawn" test $drawn -ge 10

step "the calls out of order, the size bound, no model"
wine $host contract $dll examples/cube.rk4 >"$work/contract.out" 2>&1
check "every call answers as the shell expects" test $? -eq 0 || cat "$work/contract.out"

step "hostile files in a row, in one process"
head -c 300 examples/cube.rk4 >"$work/cut.rk4"
head -c 20000 /dev/urandom >"$work/random.rk4"
printf 'ROKU4\n' >"$work/magic.rk4"
hostile=(fuzz/corpus/* fuzz/regressions/* tests/data/not_model.txt "$work/cut.rk4" \
  "$work/random.rk4" "$work/magic.rk4")
wine $host batch $dll 256 "${hostile[@]}" >"$work/hostile.out" 2>&1
check "all ${#hostile[@]} answered, none crashed the process" test $? -eq 0 || tail -5 "$work/hostile.out"
refused=0
for input in "${hostile[@]}"; do
  build/ostrel --check --quiet "$input" >/dev/null 2>&1 && continue
  answer=$(tr -d '\r' <"$work/hostile.out" | grep -F "$input: " | sed 's/.*: //')
  check "$input: an error ($answer), as the Linux build cannot import it" \
    test -n "$answer" -a "$answer" != 0x00000000
  refused=$((refused + 1))
done
check "$refused files refused" test $refused -ge 2
tr -d '\r' <"$work/hostile.out" | grep '^thumbnails:'

step "registered for the current user (regsvr32 /n /i:user), found as the shell finds it"
wine regsvr32 /s /n /i:user $dll >"$work/register.out" 2>&1
check "regsvr32 /n /i:user: exit 0" test $? -eq 0 || cat "$work/register.out"
clsid='{5B526045-6F46-45E9-8CF7-8209957544E3}'
wine reg query "HKCU\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" >"$work/user.reg" 2>&1
check "the class under HKEY_CURRENT_USER" grep -q ThreadingModel "$work/user.reg" || cat "$work/user.reg"
wine reg query "HKLM\\Software\\Classes\\CLSID\\$clsid" >/dev/null 2>&1
check "nothing under HKEY_LOCAL_MACHINE" test $? -ne 0
wine $host registered 256 examples/cube.rk4 >"$work/registered.out" 2>&1
check "the handler the .rk4 entry names draws" test $? -eq 0 || cat "$work/registered.out"
check "the entry names the class" grep -qix "handler $clsid"$'\r\\?' "$work/registered.out"
check "the server is the DLL, by its full path" \
  grep -qi 'server [A-Z]:\\.*\\build-win64\\ostrel-thumbnails.dll' "$work/registered.out" ||
  cat "$work/registered.out"
check "threading model Apartment" grep -qx $'threading Apartment\r\\?' "$work/registered.out"
# Wine's HKEY_CLASSES_ROOT shows the machine's classes alone (Windows' shows
# the user's over them): COM finds no class registered for one user there,
# and the host loads the server the registration names itself.
grep -q '^CoCreateInstance 0x80040154' "$work/registered.out" &&
  echo "  note: Wine's COM does not read the user's classes (REGDB_E_CLASSNOTREG); the server the registration names was loaded as COM loads it"
wine regsvr32 /s /u /n /i:user $dll >"$work/unregister.out" 2>&1
check "regsvr32 /u /n /i:user: exit 0" test $? -eq 0 || cat "$work/unregister.out"
wine $host registered 256 examples/cube.rk4 >"$work/removed.out" 2>&1
check "removed: no handler for .rk4" grep -q 'not registered' "$work/removed.out"
wine reg query "HKCU\\Software\\Classes\\.rk4" >/dev/null 2>&1
check "removed: no .rk4 key left" test $? -ne 0
wine reg query "HKCU\\Software\\Classes\\CLSID\\$clsid" >/dev/null 2>&1
check "removed: no class key left" test $? -ne 0

step "200 model files in a row: time and memory"
mkdir -p "$work/folder"
for seed in $(seq 1 200); do
  build/generate-model --size 0.05 --seed "$seed" --lf "$work/folder/model$seed.rk4" >/dev/null
done
wine $host batch $dll 256 "$work"/folder/model*.rk4 >"$work/folder.out" 2>&1
check "200 thumbnails, none crashed the process" test $? -eq 0 || tail -5 "$work/folder.out"
figures=$(tr -d '\r' <"$work/folder.out" | grep -E '^(thumbnails|time|private|working|peak|growth)')
sed 's/^/  /' <<<"$figures"
check "all 200 drawn" grep -q '^thumbnails: 200, drawn 200' <<<"$figures"
growth=$(sed -n 's/^growth KiB after [0-9]*: //p' <<<"$figures")
check "private bytes flat from the 20th to the 200th (grew ${growth:-?} KiB, at most 1024)" \
  test -n "$growth" -a "${growth:-0}" -le 1024

step "larger models: time per thumbnail"
for size in 1 16; do
  build/generate-model --size $size --seed 5 --lf "$work/big$size.rk4" >/dev/null
  wine $host batch $dll 256 "$work/big$size.rk4" "$work/big$size.rk4" "$work/big$size.rk4" \
    >"$work/big.out" 2>&1
  check "$size MB: drawn" grep -q '^thumbnails: 3, drawn 3' <(tr -d '\r' <"$work/big.out")
  linuxStart=$(date +%s%N)
  build/ostrel "$work/big$size.rk4" -o "$work/big$size.png" --size 256 --quiet >/dev/null 2>&1
  linuxMs=$((($(date +%s%N) - linuxStart) / 1000000))
  echo "  $size MB model: $(tr -d '\r' <"$work/big.out" | sed -n 's/^time: .*, \(.*\) per drawn one/\1/p')" \
    "per thumbnail under Wine; the Linux build's png: $linuxMs ms"
done

step "done"
echo "thumbnails: $passed passed, $failed failed"
((failed == 0))
