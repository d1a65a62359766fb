#!/usr/bin/env bash
# The Windows builds as their users run them, under Wine: the Windows test
# programs; every golden trace again from ostrel.exe with the real ostrel.p;
# every example and test model converted to .lwo, .obj, .glb and .png by ostrel.exe
# and by the Linux build, byte for byte the same; the fuzz corpus and the
# pinned regressions with the same outcome on both; Shift-JIS file names
# under the Japanese and the Western ANSI code page.
#
# Both widths the host comes in: the 64-bit module and program under the
# 64-bit Wine on every machine, the 32-bit ones under the 32-bit Wine where
# the kernel runs 32-bit x86 code (each width one run of this script, with
# OSTREL_WINDOWS_BITS set).
#
# Then the 32-bit address space (tools/check-windows-memory.sh; about 10 s and
# 400 MB of $TMPDIR for a while): a hostile file whose tables outgrow the
# 32-bit address space is refused cleanly, and an ordinary 250 MB model
# loads. OSTREL_WINDOWS_BIG=0 leaves it out.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

start=$SECONDS
step() { printf -- '---- %s (%ds)\n' "$*" $((SECONDS - start)); }
. tools/checks.sh

# Wine runs 32-bit Windows programs as 32-bit x86 processes, which some
# kernels do not run; the 64-bit build runs everywhere. A probe that cannot
# even be built is a fault of this machine's set-up.
if [[ -z ${OSTREL_WINDOWS_BITS:-} ]]; then
  why=$(tools/kernel-runs-32bit.sh)
  case $? in
  0) widths=(64 32) ;;
  1)
    widths=(64)
    echo "$why: the 64-bit Windows build runs under the 64-bit Wine, the 32-bit one is not run"
    ;;
  *)
    echo "check-windows: $why" >&2
    exit 1
    ;;
  esac
  status=0
  for bits in "${widths[@]}"; do
    echo "==== win$bits: ostrel.p and ostrel.exe for $bits-bit Windows, under the $bits-bit Wine"
    OSTREL_WINDOWS_BITS=$bits "$0" || status=1
  done
  exit $status
fi
bits=$OSTREL_WINDOWS_BITS
if [[ $bits == 32 ]]; then
  wineBinary=$(command -v wine)
else
  wineBinary=/usr/lib/wine/wine64
fi
if [[ ! -x $wineBinary ]]; then
  echo "check-windows: the $bits-bit wine is missing (tools/install-deps.sh installs it)" >&2
  exit 1
fi

work=$(mktemp -d)
cleanup() {
  [[ -n ${WINEPREFIX:-} ]] && command -v wineserver >/dev/null && wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
[[ -n ${OSTREL_KEEP_WORK:-} ]] && trap - EXIT
preset=win$bits
winBuild=build-$preset
mingw=$([[ $bits == 32 ]] && echo i686 || echo x86_64)-w64-mingw32

step "build: Linux (build) and Windows ($winBuild)"
cmake --preset default >/dev/null &&
  cmake --build --preset default --target ostrel ostrel_module ostrel-checkdll ostrel_dllcheck_tests >/dev/null ||
  exit 1
cmake --preset $preset >/dev/null && cmake --build --preset $preset >/dev/null || exit 1
linux=$root/build/ostrel
windows=$root/$winBuild/ostrel.exe

step "the module file as the host maps it: $winBuild/ostrel.p"
build/ostrel-checkdll $winBuild/ostrel.p >"$work/checkdll.log"
check "ostrel-checkdll $winBuild/ostrel.p" test $? -eq 0 || cat "$work/checkdll.log"
build/ostrel_dllcheck_tests --gtest_filter="*/win$bits" --gtest_brief=1 >"$work/checkdll-tests.log" 2>&1
check "the checker's tests on the damaged $winBuild/ostrel.p" test $? -eq 0 ||
  tail -20 "$work/checkdll-tests.log"

use_wine_prefix "$root/$winBuild/wine" "$wineBinary" || exit 1
exec 9>&1
# A run Wine itself lost that way is run again; its stderr reaches the
# caller only from the run that counts. A note on the script's own output
# says so, so a server that keeps failing is seen.
wine() {
  local attempt status
  for attempt in 1 2 3; do
    timeout 300 "$wineBinary" "$@" 2>"$work/wine.err"
    status=$?
    grep -q '^wine client error' "$work/wine.err" || break
    echo "note: Wine lost its server (attempt $attempt): $*" >&9
  done
  cat "$work/wine.err" >&2
  return $status
}
# ostrel.exe with the ANSI code page of LOCALE: winlocale LOCALE ARGS...
winlocale() {
  local locale=$1
  shift
  LANG=$locale LC_ALL=$locale wine "$windows" "$@"
}

step "Windows test programs"
for program in model_tests mesh_tests plugin_tests platform_tests standin_tests geometry_tests \
  render_tests convert_tests pipeline_tests cli_tests; do
  exe=$winBuild/$program.exe
  if [[ ! -x $exe ]]; then
    check "$program.exe built" false
    continue
  fi
  (cd $winBuild && wine "./$program.exe" --gtest_brief=1 >"$work/$program.log" 2>&1)
  check "$program.exe passes" test $? -eq 0 || tail -30 "$work/$program.log"
done
wine $winBuild/fuzz_replay.exe fuzz/corpus fuzz/regressions >"$work/replay.log" 2>&1
check "fuzz_replay.exe" test $? -eq 0 || tail -5 "$work/replay.log"

step "golden traces from ostrel.exe and $winBuild/ostrel.p"
unset OSTREL_UPDATE_GOLDEN
cases=($winBuild/tests/golden/*.cmake)
for case in "${cases[@]}"; do
  name=$(basename "$case" .cmake)
  # The case as the Linux suite runs it, through Wine, into a folder of its own.
  {
    echo "include([==[$root/$case]==])"
    echo "set(EMULATOR [==[$wineBinary]==])"
    echo "set(ACTUAL [==[$work/$name.trace]==])"
    echo "set(ERRORS [==[$work/$name.stderr]==])"
  } >"$work/$name.case"
  timeout 300 cmake -DOSTREL="$windows" -DCASE="$work/$name.case" -P tests/cli/golden.cmake \
    >"$work/$name.log" 2>&1
  check "golden $name" test $? -eq 0 || head -40 "$work/$name.log"
done
check "golden traces found" test "${#cases[@]}" -ge "$(ls tests/golden/*.trace | wc -l)"

step "conversions: ostrel.exe and the Linux build give the same bytes"
shopt -s nullglob
models=(examples/*.rk4 tests/data/*.rk4)
for format in lwo obj glb png; do
  mkdir -p "$work/linux-$format" "$work/windows-$format"
  # --salvage: a test model cut short on purpose is written as read too.
  "$linux" "${models[@]}" --salvage --out-dir "$work/linux-$format" --format "$format" >/dev/null 2>&1
  linuxStatus=$?
  wine "$windows" "${models[@]}" --salvage --out-dir "$work/windows-$format" --format "$format" \
    >/dev/null 2>&1
  windowsStatus=$?
  check "$format: exit status $windowsStatus, on Linux $linuxStatus" test "$windowsStatus" = "$linuxStatus"
  produced=$(ls "$work/linux-$format" | wc -l)
  # A png of a model with nothing to draw (points alone) is not written.
  check "$format: ${#models[@]} models, $produced files" test "$produced" -ge $((${#models[@]} - 1))
  diff -r "$work/linux-$format" "$work/windows-$format" >"$work/$format.diff" 2>&1
  check "$format: every file byte-identical" test $? -eq 0 || head -5 "$work/$format.diff"
done

step "fuzz corpus and regressions: same outcome through ostrel.exe"
inputs=(fuzz/corpus/* fuzz/regressions/*)
for input in "${inputs[@]}"; do
  "$linux" --check "$input" >"$work/l.out" 2>"$work/l.err"
  linuxStatus=$?
  wine "$windows" --check "$input" >"$work/w.out" 2>"$work/w.err"
  windowsStatus=$?
  # Status, report and messages alike: a crash or a hang cannot look the same.
  check "$input: exit $windowsStatus, on Linux $linuxStatus" test "$windowsStatus" = "$linuxStatus"
  check "$input: same report" cmp -s "$work/l.out" "$work/w.out"
  check "$input: same messages" cmp -s "$work/l.err" "$work/w.err" ||
    diff "$work/l.err" "$work/w.err" | head -4
done

step "modules ostrel.exe cannot use: exit 4, one line naming the file"
# A Windows DLL whose _mod_descrip carries a wrong sync word.
cat >"$work/wrong.c" <<'EOF_C'
__declspec(dllexport) const unsigned _mod_descrip[6] = {0x12345678u, 2u, 0x300u, 0, 0, 0};
EOF_C
$mingw-gcc-win32 -shared -o "$work/wrong.p" "$work/wrong.c" 2>"$work/wrong.log" ||
  check "building a module with a wrong descriptor" false
printf 'MZ but no more\n' >"$work/broken.p"
refused() { # refused MODULE EXPECTED-TEXT
  wine "$windows" --module "$1" examples/cube.rk4 >/dev/null 2>"$work/refused.err"
  local status=$?
  check "$1: exit 4 (got $status)" test "$status" -eq 4
  check "$1: one line naming the file and saying why" \
    test "$(wc -l <"$work/refused.err")" -eq 1 -a -n "$(grep -F "ostrel: $1: $2" "$work/refused.err")" ||
    cat "$work/refused.err"
}
refused "$work/wrong.p" "bad sync word 0x12345678"
refused "$work/broken.p" "cannot load module: "
refused "$work/none.p" "cannot load module: "

step "the terminal panel in a Wine console"
# script(1) gives ostrel.exe a terminal, which Wine turns into a console;
# the terminal's own encoding is UTF-8.
if command -v script >/dev/null; then
  LANG=en_US.UTF-8 timeout 120 script -qec "$wineBinary $windows examples/cube.rk4 --interactive \
    < tests/cli/interactive-input.txt" /dev/null </dev/null >"$work/console.out" 2>&1
  check "console: the panel runs (exit $?)" test $? -eq 0
  check "console: Shift-JIS labels shown as Japanese" grep -q "読み込み対象" "$work/console.out"
  check "console: no replacement characters" test "$(grep -c $'\xef\xbf\xbd' "$work/console.out")" -eq 0
else
  check "script(1) present for the console check" false
fi

step "Shift-JIS file names: code page 932 and code page 1252"
locales=$(locale -a)
if ! grep -qix ja_jp.utf8 <<<"$locales" || ! grep -qix en_us.utf8 <<<"$locales"; then
  check "locales ja_JP.UTF-8 and en_US.UTF-8 generated (tools/install-deps.sh)" false
else
  # 表 is 0x95 0x5C in Shift-JIS; in code page 1252 the same bytes are "•\".
  names=$work/names
  mkdir -p "$names/a•" "$names/out"
  cp examples/cube.rk4 "$names/a表b.rk4"
  cp examples/cube.rk4 "$names/a•/b.rk4"
  surfaces() { awk '/^lookupSurface/ { print $2; exit }' "$1"; }
  (cd "$names" && winlocale ja_JP.UTF-8 'a表b.rk4' --trace - >"$work/932.trace")
  check "932: the whole name is the base name" test "$(surfaces "$work/932.trace")" = '"a\x95\\b0"'
  (cd "$names" && winlocale en_US.UTF-8 'a•\b.rk4' --trace - >"$work/1252.trace")
  check "1252: the name is cut at the 0x5C" test "$(surfaces "$work/1252.trace")" = '"b0"'
  (cd "$names" && winlocale ja_JP.UTF-8 'a表b.rk4' --out-dir out --format obj >/dev/null)
  check "932: the output file is named in UTF-8" test -f "$names/out/a表b.obj"
  # The system's code page as the stand-in host's text conversion sees it.
  for pair in ja_JP.UTF-8:932 en_US.UTF-8:1252; do
    locale=${pair%:*}
    (cd $winBuild && LANG=$locale LC_ALL=$locale OSTREL_EXPECT_CODE_PAGE=${pair#*:} \
      wine ./platform_tests.exe --gtest_filter='TextCodec.*:FileSystem.*' --gtest_brief=1 \
      >"$work/codec.log" 2>&1)
    check "code page ${pair#*:}: text conversion and path tests" test $? -eq 0 || tail -20 "$work/codec.log"
  done
  # The names inside the outputs: UTF-8 where the format is read so, the
  # host's bytes in LWOB; and the status line as text.
  (cd "$names" && winlocale ja_JP.UTF-8 'a表b.rk4' --out-dir out --format glb >"$work/glb.out" 2>&1)
  check "932: glb written" test $? -eq 0 || cat "$work/glb.out"
  check "932: the status line names the file as text" grep -q '^a表b.rk4 -> out' "$work/glb.out"
  check "932: glb material names in UTF-8" grep -aq '"name":"a表b0"' "$names/out/a表b.glb"
  check "932: MTL material names in UTF-8" grep -q '^newmtl a表b0' "$names/out/a表b.mtl"
  (cd "$names" && winlocale ja_JP.UTF-8 'a表b.rk4' --out-dir out --format lwo >/dev/null)
  check "932: LWOB keeps the host's bytes" grep -aqF $'a\x95\\b0' "$names/out/a表b.lwo"
  (cd $winBuild && LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 \
    wine ./convert_tests.exe --gtest_filter='OutputNames.*' --gtest_brief=1 >"$work/names.log" 2>&1)
  check "code page 932: the writers' name tests" test $? -eq 0 || tail -20 "$work/names.log"

  # As Windows users work: mtllib in UTF-8 (OBJ readers open it by that
  # name), the object named after the model, wildcards expanded by the
  # program, the system's separator in messages, and one line for a name the
  # code page cannot spell.
  check "932: mtllib in UTF-8" grep -q '^mtllib a表b.mtl' "$names/out/a表b.obj"
  check "932: the glb's node named after the model" grep -aq '"name":"a表b"}' "$names/out/a表b.glb"
  mkdir -p "$names/my models"
  cp examples/*.rk4 "$names/my models/"
  for locale in ja_JP.UTF-8 en_US.UTF-8; do
    rm -rf "$names/wild"
    (cd "$names" && winlocale $locale 'my models\*.rk4' --out-dir wild >"$work/wild.out" 2>&1)
    check "$locale: my models\\*.rk4 expanded" test "$(ls "$names/wild" | wc -l)" -eq 3 ||
      cat "$work/wild.out"
    check "$locale: paths with the system's separator" \
      grep -qF 'my models\cube.rk4 -> wild\cube.glb' "$work/wild.out"
  done
  cp examples/cube.rk4 "$names/家.rk4"
  (cd "$names" && winlocale en_US.UTF-8 '家.rk4' -o x.glb >"$work/1252.out" 2>&1)
  check "1252: a name the code page cannot spell: exit 2" test $? -eq 2
  check "1252: ... and one line saying why and what to do" grep -q \
    "^ostrel: ?.rk4: cannot open: the file name \"?.rk4\" .*code page (1252).*rename the file" \
    "$work/1252.out"
  # The matches of a wildcard below a folder the code page cannot spell reach
  # the program as ??????\NAME: each is named as such, never as a pattern
  # that matched nothing, and no output folder is left behind.
  mkdir -p "$names/日本語モデル"
  cp examples/*.rk4 "$names/日本語モデル/"
  (cd "$names" && winlocale en_US.UTF-8 '日本語モデル\*.rk4' --out-dir jp >"$work/jp.out" 2>&1)
  check "1252: a folder it cannot spell: exit 2 ($?)" test $? -eq 2
  check "1252: ... one line per match naming the folder" test "$(grep -c \
    '^ostrel: ??????\\[a-z]*\.rk4: cannot open: the folder name "??????" .*(1252).*rename the folder' \
    "$work/jp.out")" -eq 3 || cat "$work/jp.out"
  check "1252: ... never 'no file matches'" bash -c "! grep -q 'no file matches' '$work/jp.out'"
  check "1252: ... and no output folder" test ! -e "$names/jp"
  (cd "$names" && winlocale en_US.UTF-8 'none\*.rk4' >"$work/none.out" 2>&1)
  check "1252: a pattern that matched nothing says so" \
    grep -q '^ostrel: none\\\*.rk4: no such file: no file matches this pattern$' "$work/none.out" ||
    cat "$work/none.out"
  # A folder as a model, and the usage as Windows users ask for it.
  rm -rf "$names/folder"
  (cd "$names" && winlocale en_US.UTF-8 'my models' --out-dir folder >"$work/folder.out" 2>&1)
  check "a folder as a model: its 3 model files converted" test "$(ls "$names/folder" | wc -l)" -eq 3
  check "... named with the system's separator" \
    grep -qF 'my models\cube.rk4 -> folder\cube.glb' "$work/folder.out"
  for form in '/?' '-?' '-h'; do
    (cd "$names" && wine "$windows" "$form" >"$work/help.out" 2>&1)
    check "$form prints the usage" grep -q '^usage: ostrel' "$work/help.out" ||
      head -3 "$work/help.out"
  done
  # /? where the drive's root holds a one-letter name: the C runtime's
  # wildcard expansion puts that name in argv, and the line as typed counts.
  mkdir -p "$work/root/a"
  ln -sfn "$work/root" "$WINEPREFIX/dosdevices/y:"
  timeout 120 "$wineBinary" cmd /c "y: && cd \\ && Z:${windows//\//\\} /?" >"$work/root.out" 2>&1
  check "/? with a one-letter name at the drive's root prints the usage" \
    grep -q '^usage: ostrel' "$work/root.out" || head -3 "$work/root.out"
  rm -f "$WINEPREFIX/dosdevices/y:"
  (cd "$names" && winlocale ja_JP.UTF-8 '家.rk4' -o 家.obj >/dev/null 2>&1)
  check "932: 家.rk4 converts, its mtllib in UTF-8" grep -q '^mtllib 家.mtl' "$names/家.obj"
  if ! grep -q fbx <<<"$(wine "$windows" --version 2>/dev/null | head -2)"; then
    (cd "$names" && winlocale en_US.UTF-8 'a•\b.rk4' -o x.fbx >"$work/fbx.out" 2>&1)
    check "no FBX: says to write glb, no build hint" \
      grep -q "this Windows build writes no FBX; write glb" "$work/fbx.out"
    check "no FBX: no apt-get" bash -c "! grep -q apt-get '$work/fbx.out'"
  fi
fi

if [[ $bits == 64 ]]; then
  step "the 32-bit address space: not checked by the 64-bit build"
elif [[ ${OSTREL_WINDOWS_BIG:-1} == 1 ]]; then
  step "the 32-bit address space"
  tools/check-windows-memory.sh "$work" || failed=$((failed + 1))
fi

step "done"
echo "windows: $passed passed, $failed failed"
((failed == 0))
