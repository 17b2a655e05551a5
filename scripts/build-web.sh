#!/bin/sh
# Builds Velmora for the browser (WebAssembly, Emscripten) into build-web/
# and writes the site into build-web/site/: the page, the engine, a Japanese
# font and the demo game. The native build (build/) makes the demo and the
# CP932 table; it is reused when present.
set -e
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --web
# Debian's emcc runs on Debian's node modules, whatever node is first on PATH.
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja >/dev/null
echo "== native: the demo game and the CP932 table"
cmake --build build -- demo velmora-pack velmora-cp932-table
echo "== browser: the engine"
[ -f build-web/CMakeCache.txt ] || emcmake cmake -S . -B build-web -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVELMORA_HOST_BUILD="$(pwd)/build" >/dev/null
cmake --build build-web -- velmora
echo "== the site"
site=build-web/site
rm -rf "$site"
./build/velmora-pack web --engine build-web build/demo "$site"
echo "Site: $site/index.html"
