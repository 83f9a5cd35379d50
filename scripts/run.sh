#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program in the current directory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
# Chromium's sandbox refuses to run as root.
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
exec "${BUILD_DIR:-$root/build}/app/svazkovna"
