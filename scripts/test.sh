#!/usr/bin/env bash
# Installs what is missing, builds, runs the storage and window tests once more
# under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), and then
# every test through CTest. SKIP_SANITIZE=1 leaves the sanitizer run out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
[ -n "${SKIP_SANITIZE:-}" ] || "$root/scripts/sanitize.sh"
cd "${BUILD_DIR:-$root/build}"
ctest --output-on-failure -j"$(nproc)" "$@"
