#!/usr/bin/env bash
# Installs what is missing, builds, and makes the Debian package
# build/svazkovna_<version>_<arch>.deb (or in $BUILD_DIR) with CPack.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "${BUILD_DIR:-$root/build}"
cpack
ls "$PWD"/svazkovna_*.deb
