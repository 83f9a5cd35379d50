#!/usr/bin/env bash
# Builds the storage library and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ and runs them through CTest.
# Extra arguments go to ctest (e.g. -R query_).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ASAN_BUILD_DIR:-$root/build-asan}
cmake -S "$root" -B "$build" -DSVAZKOVNA_SANITIZE=ON -DSVAZKOVNA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
# Only the storage tests: the window tests need the whole Qt stack under ASan.
targets=$(cd "$root/tests/storage" && ls *_test.cpp | sed 's/\.cpp$//')
cmake --build "$build" -j"${JOBS:-2}" --target $targets
cd "$build"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --output-on-failure -R "$(echo $targets | tr ' ' '\n' | sed 's/_test$//' | paste -sd'|')" "$@"
