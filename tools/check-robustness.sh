#!/usr/bin/env bash
# Robustness checks: fuzzes the three harnesses (the activation, the reader,
# the engine's C interface) for a bounded time, replays the
# corpus and the pinned crashes, runs the resource-bound tests, and runs the
# core, host and converter tests, the replay and whole activations under
# valgrind. Build folders: build-fuzz (clang, libFuzzer, sanitizers) and build
# (the normal build).
#
# OSTREL_FUZZ_SECONDS: seconds per activation fuzzing job (two jobs run side
# by side; default 150, so 300 s in all); the reader and the engine harness
# get a third of that each. Set it to 0 to skip fuzzing.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${OSTREL_FUZZ_SECONDS:-150}
status=0
step() { echo "---- $*"; }
fail() {
  echo "FAILED: $*"
  status=1
}

step "build: fuzzers (build-fuzz)"
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz || fail "fuzz build"

step "build: the normal build (build), as the test command makes it"
cmake --preset default >/dev/null && cmake --build --preset default || fail "normal build"

if [[ -x build-fuzz/activation_fuzzer && $seconds -gt 0 ]]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/activation" "$work/reader" "$work/engine" build-fuzz/artifacts
  fuzz() { # fuzz HARNESS SECONDS LOG
    "build-fuzz/$1_fuzzer" -dict=fuzz/model.dict -max_total_time="$2" -timeout=10 \
      -rss_limit_mb=2048 -artifact_prefix="$root/build-fuzz/artifacts/$1-" -print_final_stats=1 \
      "$work/$1" fuzz/corpus fuzz/regressions >"$3" 2>&1
  }
  step "fuzz: activation harness, 2 x $seconds s"
  fuzz activation "$seconds" "$work/a1.log" &
  a1=$!
  fuzz activation "$seconds" "$work/a2.log" &
  a2=$!
  wait $a1 || { tail -40 "$work/a1.log"; fail "activation fuzzing (artifact in build-fuzz/artifacts)"; }
  wait $a2 || { tail -40 "$work/a2.log"; fail "activation fuzzing (artifact in build-fuzz/artifacts)"; }
  grep -h "stat::number_of_executed_units" "$work"/a*.log
  step "fuzz: reader harness, $((seconds / 3)) s"
  fuzz reader $((seconds / 3)) "$work/r.log" || { tail -40 "$work/r.log"; fail "reader fuzzing"; }
  grep -h "stat::number_of_executed_units" "$work/r.log"
  step "fuzz: engine harness, $((seconds / 3)) s"
  fuzz engine $((seconds / 3)) "$work/e.log" || { tail -40 "$work/e.log"; fail "engine fuzzing"; }
  grep -h "stat::number_of_executed_units" "$work/e.log"
fi

if [[ -x build-fuzz/activation_fuzzer ]]; then
  step "replay under the fuzz build: corpus and regressions"
  for harness in activation reader engine; do
    "build-fuzz/${harness}_fuzzer" -runs=0 fuzz/corpus fuzz/regressions >/dev/null 2>&1 ||
      fail "$harness replay"
  done
fi

step "replay (normal build)"
build/fuzz_replay fuzz/corpus fuzz/regressions || fail "replay"

step "resource bounds, truncation, allocation failure"
build/bounds_tests --gtest_brief=1 || fail "bounds tests"

step "valgrind: the tests of every area, replay, whole activations"
vg=(valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect --error-exitcode=1 -q)
for program in model_tests mesh_tests plugin_tests; do
  timeout 900 "${vg[@]}" "build/$program" --gtest_brief=1 || fail "valgrind $program"
done
timeout 300 "${vg[@]}" build/fuzz_replay fuzz/corpus fuzz/regressions || fail "valgrind replay"
timeout 300 "${vg[@]}" build/engine_c_test examples tests/data fuzz >/dev/null || fail "valgrind engine_c_test"
# (engine_memory_test replaces operator new, which valgrind replaces too: it
# runs under the sanitizers instead, in the asan suite.)
for program in platform_tests standin_tests pipeline_tests cli_tests; do
  timeout 300 "${vg[@]}" "build/$program" --gtest_brief=1 || fail "valgrind $program"
done
timeout 600 "${vg[@]}" build/geometry_tests --gtest_brief=1 || fail "valgrind geometry_tests"
if [[ -x build/convert_tests ]]; then
  timeout 600 "${vg[@]}" build/convert_tests --gtest_brief=1 || fail "valgrind convert_tests"
fi
# The stand-in host with the real module, every example and test model. A
# test model is cut short on purpose: ostrel's own status is then 9
# (damaged), apart from valgrind's.
timeout 300 valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect \
  --error-exitcode=99 -q build/ostrel --check examples/*.rk4 tests/data/*.rk4 >/dev/null
status_of_check=$?
((status_of_check == 0 || status_of_check == 9)) || fail "valgrind ostrel --check"

exit $status
