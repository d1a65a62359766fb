#!/usr/bin/env bash
# Builds the web page build-wasm/ostrel.html: the converter with the wasm
# preset (Debian's emscripten), the JavaScript dependencies from the lock
# file, then one file bundled by esbuild (web/build-page.mjs).
set -euo pipefail
cd "$(dirname "$0")/.."
export NODE_PATH=/usr/share/nodejs # Debian's emcc finds its own modules there
cmake --preset wasm >/dev/null
cmake --build --preset wasm >/dev/null
(cd web && npm ci --no-audit --no-fund --silent)
node web/build-page.mjs build-wasm/ostrel-wasm.js build-wasm/ostrel.html
