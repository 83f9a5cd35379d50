#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "${BUILD_DIR:-$root/build}"
ctest --output-on-failure -j"$(nproc)" "$@"
