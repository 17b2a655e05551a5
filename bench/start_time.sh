#!/bin/sh
# Start-up time of the demo: from starting the program to the window's first
# painted frame, on the GPU path and on the CPU path (on an Xvfb server
# started beforehand), against a headless run of an empty events file from
# start to exit, in the same sitting. Medians of RUNS starts each.
#   bench/start_time.sh BUILD_DIR [RUNS]
set -e
build=$(cd "${1:?usage: bench/start_time.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-7}
work=$(mktemp -d)
# One X server for every window start, so that its own start is not counted.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
while [ ! -s "$work/display" ]; do sleep 0.1; done
display=:$(cat "$work/display")
cp -r "$build/demo" "$work/game"
: > "$work/empty.events"
ms() { date +%s%3N; }
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
i=0
while [ $i -lt "$runs" ]; do
  i=$((i + 1))
  t0=$(ms)
  (cd "$work" && "$build/velmora" --headless --game game --events empty.events >/dev/null 2>&1)
  echo $(($(ms) - t0)) >> "$work/headless"
  # The window on each path: Mesa's OpenGL (software, llvmpipe, on a
  # machine without a GPU, which the window takes only when asked) and,
  # with Qt's OpenGL turned off, the CPU path.
  for path in gpu cpu; do
    rm -rf "$work/config" "$work/data" "$work/trace"
    gl=
    [ $path = cpu ] && gl=none
    t0=$(ms)
    DISPLAY=$display XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" ALSOFT_DRIVERS=null VELMORA_SOFTWARE_GL=1 \
      QT_XCB_GL_INTEGRATION=$gl "$build/velmora" --trace "$work/trace" --quit-after 3000 "$work/game" \
      >/dev/null 2>&1 || true
    painted=$(sed -n 's/^window: first frame painted at \([0-9]*\)\.\([0-9]*\)$/\1\2/p' "$work/trace")
    [ -n "$painted" ] && echo $((painted - t0)) >> "$work/window-$path"
    sed -n 's/^window: first frame after \([0-9]*\) ms of processor time$/\1/p' "$work/trace" >> "$work/cpu-$path"
  done
done
echo "headless start to exit (empty events): $(median < "$work/headless") ms"
for path in gpu cpu; do
  echo "window start to first frame, $path path: $(median < "$work/window-$path") ms," \
    "$(median < "$work/cpu-$path") ms of processor time"
done
