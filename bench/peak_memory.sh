#!/bin/sh
# Peak memory of a headless run of the demo against the same run of a copy
# whose every picture is as large as the reader accepts (made by
# velmora-huge-pictures, a -DVELMORA_BENCH=ON target), in the same sitting:
# the largest resident size of each run (GNU time) and their ratio.
#   bench/peak_memory.sh BUILD_DIR
set -e
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: bench/peak_memory.sh BUILD_DIR}" && pwd)
[ -x "$build/bench/velmora-huge-pictures" ] || { echo "build velmora-huge-pictures first (-DVELMORA_BENCH=ON)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$build/demo" "$work/game"
"$build/bench/velmora-huge-pictures" "$build/demo" "$work/huge" >/dev/null
peak() {
    (cd "$work" && /usr/bin/time -f '%M %e %x' -o "$work/$1.time" "$build/velmora" --headless --game "$1" \
        --events "$src/demo/demo.events" --trace "$work/$1.trace" >/dev/null 2>&1) || true
    cat "$work/$1.time"
}
set -- $(peak game)
normal=$1 normal_s=$2 normal_exit=$3
set -- $(peak huge)
huge=$1 huge_s=$2 huge_exit=$3
refused=$(grep -c "would take the pictures' memory" "$work/huge.trace" || true)
held() { sed -n 's/^pictures: at most \([0-9]*\) MiB held at once$/\1/p' "$work/$1.trace" | tail -1; }
echo "demo:              peak $((normal / 1024)) MiB ($(held game) MiB of pictures), ${normal_s} s, exit $normal_exit"
echo "largest pictures:  peak $((huge / 1024)) MiB ($(held huge) MiB of pictures), ${huge_s} s, exit $huge_exit," \
    "$refused picture(s) refused for memory"
awk -v a="$huge" -v b="$normal" 'BEGIN { printf "ratio: %.2f\n", a / b }'
