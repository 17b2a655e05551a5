#!/bin/sh
# Builds the fuzz harnesses with clang and libFuzzer (in build-fuzz) and runs
# each for SECONDS (default 60) on a copy of its seed corpus, then prints
# the executions and findings of every harness. Findings are kept in
# build-fuzz/fuzz/findings/HARNESS; the exit status is 1 when there is any.
#   scripts/fuzz.sh [SECONDS] [HARNESS...]
set -e
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
[ $# -gt 0 ] && shift
./scripts/install-deps.sh --fuzz
cmake -S . -B build-fuzz -G Ninja -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
# The build runs instrumented tools (the demo's generators); their exit-time leaks are not findings.
ASAN_OPTIONS=detect_leaks=0 cmake --build build-fuzz --target fuzz_all
ROOT=$(pwd)
HARNESSES=${*:-"archive config sjis packed_picture jpeg bmp wady ogg music cursor anim slot global script tables roll settings events"}
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ALSOFT_DRIVERS=null
status=0
report=""
for h in $HARNESSES; do
    # Absolute: the engine's harnesses enter their game folder.
    work=$ROOT/build-fuzz/fuzz/work/$h
    findings=$ROOT/build-fuzz/fuzz/findings/$h
    mkdir -p "$work" "$findings"
    cp -n build-fuzz/fuzz/corpus/$h/* "$work"/ 2>/dev/null || true
    log=build-fuzz/fuzz/$h.log
    echo "fuzzing $h for $SECONDS_EACH s"
    ./build-fuzz/fuzz/fuzz_$h -max_total_time="$SECONDS_EACH" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" >"$log" 2>&1 || true
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    rate=$(grep -o 'exec/s: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    time=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | grep -o 'in [0-9]*' | grep -o '[0-9]*$' | tail -1)
    found=$(ls "$findings" | wc -l)
    [ "$found" -gt 0 ] && status=1
    report="$report$(printf '%-16s %12s runs %8s exec/s %6s s  %s finding(s)' "$h" "${runs:-?}" "${rate:-?}" \
        "${time:-?}" "$found")
"
done
echo
echo "harness              executions       rate       time  findings"
printf '%s' "$report"
[ $status -eq 0 ] || echo "findings are in build-fuzz/fuzz/findings; logs in build-fuzz/fuzz/*.log"
exit $status
