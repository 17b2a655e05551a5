#!/bin/sh
# Idle CPU of the real window at a page wait: plays a copy of the demo that
# starts on its first page (no title), under Xvfb, twice: for 8 s and for
# 8 + SECONDS s. The difference of the CPU used (utime + stime) over the
# difference of the times is the page wait's own share of one core, without
# the start and the page's opening transition.
#   bench/idle_cpu.sh BUILD_DIR [SECONDS] [window|full] [WIDTHxHEIGHT]
# VELMORA=path runs another engine binary on the same game (to compare
# two builds in one sitting). Needs xvfb-run. Sound goes to OpenAL's null output, so the mixer's own
# thread is counted as on a desktop.
set -e
build=$(cd "${1:?usage: bench/idle_cpu.sh BUILD_DIR [SECONDS] [window|full] [WIDTHxHEIGHT]}" && pwd)
seconds=${2:-30}
mode=${3:-window}
screen=${4:-1920x1080}
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$build/demo" "$work/game"
mkdir -p "$work/src"
cp -r "$src/demo/scripts" "$src/demo/config.txt" "$work/src/"
printf '*chain opening\n' > "$work/src/scripts/main.txt"
"$build/velmora-pack" build --cache "$work/cache" "$work/src" "$work/game" >/dev/null
mkdir -p "$work/config/velmora/Software/Velmora"
if [ "$mode" = full ]; then printf '[demo]\nSMode=1\n' > "$work/config/velmora/Software/Velmora/demo.ini"; fi
run() {
  XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" ALSOFT_DRIVERS=null \
    xvfb-run -a -s "-screen 0 ${screen}x24" "${VELMORA:-$build/velmora}" --quit-after "$1" "$work/game" 2>&1 |
    sed -n 's/^velmora: \([0-9.]*\) s, \([0-9]*\) idle passes, \([0-9.]*\)% of one core$/\1 \2 \3/p'
}
short=$(run 8000)
long=$(run $(((seconds + 8) * 1000)))
echo "$short $long" | awk -v label="$mode $screen" '{
  cpu = ($4 * $6 - $1 * $3) / 100; wall = $4 - $1; passes = $5 - $2
  if (wall <= 0) { print label ": no measurement"; exit 1 }
  printf "%s: %.1f s at a page wait, %.1f idle passes a second, %.2f%% of one core\n", label, wall, passes / wall, 100 * cpu / wall
}'
