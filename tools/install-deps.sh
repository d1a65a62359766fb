#!/usr/bin/env bash
# Installs the Debian packages the builds and tests use, when any is missing,
# as root or through sudo.
#
#   tools/install-deps.sh           everything every build and test stage uses
#   tools/install-deps.sh --build   only what the native build needs for every
#                                   output format (the README's first command)
set -euo pipefail
build_packages=(cmake make g++ libgtest-dev python3 libtinygltf-dev nlohmann-json3-dev libassimp-dev libstb-dev)
packages=(
  "${build_packages[@]}" clang libclang-rt-14-dev clang-format libbenchmark-dev valgrind
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 qemu-user-static g++-multilib
  assimp-utils openscenegraph libtinyobjloader-dev nodejs npm prusa-slicer lib3mf-dev
  blender python3-numpy python3-venv python3-pip python3-pytest python3-meshio emscripten chromium
  fonts-ipafont-gothic
  wine wine32:i386 wine64 locales dpkg-dev mmdebstrap
  bubblewrap shared-mime-info libglib2.0-bin xdg-utils python3-gi gir1.2-gnomedesktop-4.0
)
case ${1:-} in
--build) mode=build packages=("${build_packages[@]}") ;;
"") mode=all ;;
*)
  echo "usage: tools/install-deps.sh [--build]" >&2
  exit 64
  ;;
esac
missing=()
for p in "${packages[@]}"; do
  # A nodejs build that ships npm itself conflicts with Debian's npm package.
  [[ $p == npm ]] && command -v npm >/dev/null && continue
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [[ $(id -u) -eq 0 ]]; then
  SUDO=
elif command -v sudo >/dev/null; then
  SUDO=sudo
else
  SUDO=none
fi
need_root() {
  if [[ $SUDO == none ]]; then
    echo "install-deps: $1: run this as root, or install sudo" >&2
    exit 1
  fi
}
# A mirror caught mid-sync serves an index that does not match its release
# file. apt then keeps going without it, and the update exits non-zero.
# Retried a few times; after that the install runs on what was fetched.
update() {
  local try
  for try in 1 2 3; do
    $SUDO apt-get update -qq && return 0
    sleep $((try * 10))
  done
  echo "install-deps: some package indexes could not be fetched; installing from the rest" >&2
  return 1
}
# Without the security suite's i386 index, its amd64 versions of a library
# run ahead of the i386 ones, and multiarch asks for both at one version.
# The retry takes the main suite's versions, which both have.
without_security_suite() {
  local prefs
  prefs=$(mktemp)
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$prefs"
  echo "install-deps: retrying with the security suite below the main one" >&2
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o Dir::Etc::Preferences="$prefs" "$@" >/dev/null
  local status=$?
  rm -f "$prefs"
  return $status
}
install() { # install FOR PACKAGE...
  need_root "missing ${*:2}"
  echo "install-deps: installing$1: ${*:2}"
  local updated=1
  update || updated=0
  # sudo resets the environment: the front end is set inside it.
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${@:2}" >/dev/null ||
    { ((updated == 0)) && without_security_suite "${@:2}"; }
}
if [[ $mode == build ]]; then
  if ((${#missing[@]})); then
    install " for the native build" "${missing[@]}"
  else
    echo "install-deps: the native build's packages are installed"
  fi
  exit 0
fi
# wine32 is an i386 package.
added_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_root "the i386 architecture is not enabled (for wine32)"
  $SUDO dpkg --add-architecture i386
  added_i386=1
fi
if ((${#missing[@]} || added_i386)); then
  install "" "${missing[@]}"
fi

# The Windows stage runs ostrel.exe under the Japanese and the Western
# European ANSI code pages, which Wine takes from these locales.
available=$(locale -a 2>/dev/null || true)
for loc in ja_JP.UTF-8 en_US.UTF-8; do
  if ! grep -qix "${loc/UTF-8/utf8}" <<<"$available"; then
    need_root "the locale $loc is missing"
    $SUDO sed -i "s/^# *\($loc UTF-8\)/\1/" /etc/locale.gen
    grep -qx "$loc UTF-8" /etc/locale.gen || echo "$loc UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    generate_locales=1
  fi
done
if [[ ${generate_locales:-0} == 1 ]]; then
  $SUDO locale-gen >/dev/null
fi
