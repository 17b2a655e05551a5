#!/bin/sh
# Builds the engine and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (in build-asan) and runs them; any report stops
# the test that met it, so the run fails. The Qt shell tests and the
# packaging test are not part of this build (see tests/CMakeLists.txt).
# With a pattern, only the tests whose names match it run:
#   scripts/test-sanitizers.sh ['FileIoSafety|SettingsClamp']
set -e
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-asan -G Ninja -DVELMORA_WERROR=ON -DVELMORA_SANITIZE=ON >/dev/null
# The demo's generators run instrumented during the build; leaks at their exit are not the engine's.
ASAN_OPTIONS=detect_leaks=0 cmake --build build-asan --target velmora_tests velmora_encoding_table_tests
ROOT=$(pwd)
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0
cd build-asan && ctest --output-on-failure -j2 --timeout 600 ${1:+-R "$1"}
