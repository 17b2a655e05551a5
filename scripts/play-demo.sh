#!/bin/sh
# Installs what is missing, builds Velmora and plays the demo game: in a
# window when there is a display, otherwise headless, writing screenshots.
set -e
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
if [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ]; then
    exec ./build/velmora
fi
out="$(pwd)/build/demo-screenshots"
rm -rf "$out"
mkdir -p "$out"
# The events file names its screenshots relative to the directory it runs in.
(cd "$out" && ../velmora --headless --events ../../demo/demo.events --trace trace.txt)
echo "No display: played the demo headless."
echo "Screenshots: $out/*.png (trace: $out/trace.txt)"
