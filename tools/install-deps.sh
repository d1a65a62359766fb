#!/usr/bin/env bash
# Installs the Debian packages the builds and tests use, when any is missing.
set -euo pipefail
packages=(
  cmake g++ clang libclang-rt-14-dev clang-format libgtest-dev libbenchmark-dev valgrind
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 qemu-user-static g++-multilib
  assimp-utils openscenegraph libtinygltf-dev nlohmann-json3-dev libtinyobjloader-dev nodejs npm
  libassimp-dev blender python3 python3-numpy emscripten chromium fonts-ipafont-gothic
  wine wine32:i386 wine64 locales dpkg-dev mmdebstrap
)
missing=()
for p in "${packages[@]}"; do
  # A nodejs build that ships npm itself conflicts with Debian's npm package.
  [[ $p == npm ]] && command -v npm >/dev/null && continue
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [[ $(id -u) -ne 0 ]]; then
  SUDO=sudo
else
  SUDO=
fi
# wine32 is an i386 package.
added_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  added_i386=1
fi
if ((${#missing[@]} || added_i386)); then
  echo "installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Windows stage runs ostrel.exe under the Japanese and the Western
# European ANSI code pages, which Wine takes from these locales.
available=$(locale -a 2>/dev/null || true)
for loc in ja_JP.UTF-8 en_US.UTF-8; do
  if ! grep -qix "${loc/UTF-8/utf8}" <<<"$available"; then
    $SUDO sed -i "s/^# *\($loc UTF-8\)/\1/" /etc/locale.gen
    grep -qx "$loc UTF-8" /etc/locale.gen || echo "$loc UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    generate_locales=1
  fi
done
if [[ ${generate_locales:-0} == 1 ]]; then
  $SUDO locale-gen >/dev/null
fi
