#!/bin/sh
# Idle CPU of the real window at a page wait: plays a copy of the demo that
# starts on its first page (no title), each window on an Xvfb server of its
# own, and reads the CPU it uses (every thread's run time, from
# /proc/PID/task/*/schedstat) from 8 s after its start, when the page's
# opening transition is over, for SECONDS s.
# velmora-idle-reference (built with -DVELMORA_BENCH=ON), a bare Qt window
# that keeps the engine's pace and paints as often, is measured at the same
# time (in window mode): what a wake-up costs varies from machine to machine and hour to hour,
# and the ratio is what the engine adds to what Qt itself costs.
#   bench/idle_cpu.sh BUILD_DIR [SECONDS] [window|full] [WIDTHxHEIGHT]
# VELMORA=path plays the game with another engine binary, also at the same
# time (to compare two builds in one sitting). Sound goes to OpenAL's null
# output, so the mixer's own thread is counted as on a desktop.
set -e
usage="usage: bench/idle_cpu.sh BUILD_DIR [SECONDS] [window|full] [WIDTHxHEIGHT]"
build=$(cd "${1:?$usage}" && pwd)
seconds=${2:-30}
mode=${3:-window}
screen=${4:-1920x1080}
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'kill $(cat "$work"/*.xvfb 2>/dev/null) 2>/dev/null; rm -rf "$work"' EXIT
cp -r "$build/demo" "$work/game"
mkdir -p "$work/src"
cp -r "$src/demo/scripts" "$src/demo/config.txt" "$work/src/"
printf '*chain opening\n' > "$work/src/scripts/main.txt"
"$build/velmora-pack" build --cache "$work/cache" "$work/src" "$work/game" >/dev/null

# start NAME PROGRAM [GAME]: plays on a server and in folders of its own.
start() {
  mkdir -p "$work/$1/config/velmora/Software/Velmora" "$work/$1/run"
  chmod 700 "$work/$1/run"
  if [ "$mode" = full ]; then printf '[demo]\nSMode=1\n' > "$work/$1/config/velmora/Software/Velmora/demo.ini"; fi
  exec 3>"$work/$1/display"
  Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp >/dev/null 2>&1 &
  echo $! > "$work/$1.xvfb"
  exec 3>&-
  while [ ! -s "$work/$1/display" ]; do sleep 0.1; done
  DISPLAY=:$(cat "$work/$1/display") XDG_CONFIG_HOME="$work/$1/config" XDG_DATA_HOME="$work/$1/data" \
    XDG_RUNTIME_DIR="$work/$1/run" ALSOFT_DRIVERS=null \
    "$2" --quit-after $(((seconds + 10) * 1000)) $3 2> "$work/$1/log" &
  echo $! > "$work/$1/pid"
}
# runtime NAME: nanoseconds every thread of NAME has run so far.
runtime() {
  cat /proc/"$(cat "$work/$1/pid")"/task/*/schedstat 2>/dev/null | awk '{ns += $1} END {printf "%.0f\n", ns}'
}

names=engine
start engine "$build/velmora" "$work/game"
if [ -n "$VELMORA" ]; then
  names="$names other"
  start other "$VELMORA" "$work/game"
fi
reference=$build/bench/velmora-idle-reference
if [ "$mode" = full ]; then
  echo "(the bare Qt window is measured in window mode only)"
elif [ -x "$reference" ]; then
  names="$names reference"
  start reference "$reference"
else
  echo "($reference not built: configure with -DVELMORA_BENCH=ON to compare with a bare Qt window)"
fi
sleep 8
for n in $names; do runtime $n > "$work/$n/before"; done
sleep "$seconds"
for n in $names; do runtime $n > "$work/$n/after"; done
for n in $names; do
  wait "$(cat "$work/$n/pid")" 2>/dev/null || true
  echo $(($(cat "$work/$n/after") - $(cat "$work/$n/before"))) > "$work/$n/used"
  passes=$(sed -n 's/^[a-z]*: \([0-9.]*\) s, \([0-9]*\) idle passes.*/\2 \1/p' "$work/$n/log")
  echo "$(cat "$work/$n/used") $passes" | awk -v n="$n" -v label="$mode $screen" -v s="$seconds" '{
    if (NF < 3 || $3 <= 0) { printf "%s: no measurement\n", n; exit 1 }
    printf "%s (%s): %.2f%% of one core over %d s at a page wait, %.1f idle passes a second\n", n, label, $1 / 1e7 / s, s, $2 / $3
  }'
done
for n in $names; do
  [ "$n" = engine ] && continue
  awk -v e="$(cat "$work/engine/used")" -v r="$(cat "$work/$n/used")" -v n="$n" \
    'BEGIN { if (r > 0) printf "engine / %s: %.2f\n", n, e / r }'
done
