#!/bin/sh
# Installs what is missing, builds everything with warnings as errors and
# runs every test. Fails when any test fails.
set -e
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DVELMORA_WERROR=ON >/dev/null
cmake --build build
cd build && ctest --output-on-failure -j2 --timeout 300
