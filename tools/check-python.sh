#!/usr/bin/env bash
# The Python package `ostrel` as a user gets it: installed from the source
# tree into a virtual environment of Debian's python3 (with its system
# packages: numpy, meshio, pytest) the way python/README.md says, then its
# tests (python/tests: the API against the command line, the binding against
# engine/ostrel.h, meshio, the hostile files, threads, memory and speed).
#
#   tools/check-python.sh             Debian 12's python3 (this machine)
#   tools/check-python.sh --debian13  trimesh: Debian 13's python3-trimesh in the
#                                     chroot the Blender stage makes, the wheel
#                                     of the blender preset's engine (which needs
#                                     only the C library) installed there
#
# A stage that cannot run here exits 77 with its reason in $OSTREL_SKIP_NOTE.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
mode=${1:-debian12}
work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-python.XXXXXX")
trap 'rm -rf "$work"' EXIT
. tools/checks.sh
skip() {
  echo "$1" | tee "${OSTREL_SKIP_NOTE:-/dev/null}"
  exit 77
}
python=/usr/bin/python3 # Debian's, whatever else is first on the PATH

if [[ $mode == debian12 ]]; then
  { cmake --preset default >/dev/null &&
      cmake --build --preset default --target ostrel ostrel_engine generate-model python_wheel >/dev/null; } ||
    { echo "building the engine failed"; exit 1; }
  check "a virtual environment of Debian's python3" "$python" -m venv --system-site-packages "$work/venv"
  check "pip installs the package from the source tree, offline" \
    "$work/venv/bin/python" -m pip install --quiet --no-index --no-build-isolation ./python
  installed=$(cd "$work" && "$work/venv/bin/python" -c 'import ostrel; print(ostrel.engine().path)')
  check "the installed package loads the engine it carries" \
    same engine "$work/venv/lib/python3.11/site-packages/ostrel/libostrel_engine.so" "$installed"
  wheel=$(ls build/wheels/ostrel-*-py3-none-linux_x86_64.whl 2>/dev/null)
  check "the build writes the wheel, tagged for Linux x86-64" test -n "$wheel"
  check "the package's tests" "$work/venv/bin/python" -m pytest -q -p no:cacheprovider -rsP \
    -o console_output_style=classic python/tests
elif [[ $mode == --debian13 ]]; then
  chroot=${OSTREL_BLENDER_CHROOTS:-/var/cache/ostrel-blender}/trixie
  [[ -x $chroot/usr/bin/python3 ]] ||
    skip "no Debian 13 chroot at $chroot (the Blender stage makes it: tools/blender-run.sh 4.3 --prepare)"
  in13() { tools/blender-run.sh 4.3 --program "$@"; }
  needed=(python3-trimesh python3-pytest python3-venv)
  if ! in13 dpkg-query -W "${needed[@]}" >/dev/null 2>&1; then
    echo "installing ${needed[*]} into $chroot"
    { in13 apt-get -- update -qq && in13 env -- DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends "${needed[@]}" >/dev/null; } ||
      { echo "cannot install ${needed[*]} into $chroot"; exit 1; }
  fi
  { cmake --preset blender >/dev/null && cmake --build build-blender --target ostrel_engine -j2 >/dev/null; } ||
    { echo "building the blender preset's engine failed"; exit 1; }
  check "the wheel of the engine that needs only the C library" \
    "$python" python/backend/ostrel_wheel.py --engine build-blender/libostrel_engine.so --out "$work" >/dev/null
  check "Debian 13: pip installs the wheel into a virtual environment" in13 /bin/sh -- -c \
    "python3 -m venv --system-site-packages '$work/venv' && '$work/venv/bin/python' -m pip install --quiet --no-index '$work'/ostrel-*.whl"
  check "Debian 13: trimesh and the binding's tests" in13 /bin/sh -- -c \
    "cd '$work' && '$work/venv/bin/python' -m pytest -q -p no:cacheprovider -rs '$root/python/tests/test_trimesh.py' '$root/python/tests/test_header.py'"
else
  echo "usage: tools/check-python.sh [--debian13]" >&2
  exit 64
fi
echo "Python package ($mode): $passed passed, $failed failed"
((failed == 0))
