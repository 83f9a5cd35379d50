#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Idempotent: packages that are already there are not touched.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-webengine-dev libgl-dev
  libsqlite3-0 libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth xdotool imagemagick x11-utils fonts-dejavu-core
  dbus at-spi2-core python3-pyatspi
  locales
  file
  libyaz-dev yaz qt6-charts-dev libzip-dev poppler-utils libicu-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
