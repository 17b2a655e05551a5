#!/bin/sh
# Installs what is missing, builds everything with warnings as errors and
# runs every test: the native suite, then the browser build (made once) and
# its tests in headless Chromium. Fails when any test fails.
set -e
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DVELMORA_WERROR=ON >/dev/null
cmake --build build
(cd build && ctest --output-on-failure -j2 --timeout 300)
exec ./scripts/test-web.sh
