#!/usr/bin/env bash
# Installs what is missing, checks that every source is formatted, builds,
# runs the storage and window tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), then every test through CTest,
# and finally each fuzz target for a few seconds (built with clang in
# build-fuzz/), so that they keep guarding the parsers.
# SKIP_SANITIZE=1 leaves the sanitizer run out, SKIP_FUZZ=1 the fuzz run;
# FUZZ_SECONDS sets the time per target (default 8).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/check_format.sh"
"$root/scripts/build.sh"
[ -n "${SKIP_SANITIZE:-}" ] || "$root/scripts/sanitize.sh"
(cd "${BUILD_DIR:-$root/build}" && ctest --output-on-failure -j"$(nproc)" "$@")
[ -n "${SKIP_FUZZ:-}" ] || "$root/scripts/fuzz.sh" "${FUZZ_SECONDS:-8}"
