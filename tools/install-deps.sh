#!/usr/bin/env bash
# Installs the Debian packages the builds and tests use, when any is missing.
set -euo pipefail
packages=(
  cmake g++ clang libclang-rt-14-dev clang-format libgtest-dev libbenchmark-dev valgrind
  g++-mingw-w64-i686 binutils-mingw-w64-i686 qemu-user-static g++-multilib
  assimp-utils openscenegraph libtinygltf-dev nlohmann-json3-dev libtinyobjloader-dev nodejs npm
  libassimp-dev blender python3 python3-numpy
)
missing=()
for p in "${packages[@]}"; do
  # A nodejs build that ships npm itself conflicts with Debian's npm package.
  [[ $p == npm ]] && command -v npm >/dev/null && continue
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then
    SUDO=sudo
  else
    SUDO=
  fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
