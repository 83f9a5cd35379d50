#!/usr/bin/env bash
# The Debian package as a user meets it: builds it from the existing build
# tree, installs it with apt-get, starts `svazkovna` from the PATH (the command
# of its menu entry) as an ordinary user in that user's home folder under a
# virtual X server, quits from the menu with the keyboard, and checks that the
# settings went to ~/.config/svazkovna/nastav.ini and the catalogue to the home
# folder. The package (and a user made for the run) is removed again at the end.
# Usage: check_package.sh [build-dir]   (exit 0 pass, 1 fail, 77 skipped)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${BUILD_DIR:-$root/build}}
export LC_ALL=C.UTF-8
user=svazkovnatest
# Marks a package installed by this script, so that a run that was killed
# before its clean-up is told from a package someone installed for real.
marker=/var/tmp/svazkovna-check-package.installed

. "$root/scripts/desktop_lib.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing a package needs root"; exit 77; }
desktop_require cpack dpkg-deb dpkg-shlibdeps apt-get useradd userdel runuser xvfb-run xdotool sqlite3
[ -f "$build/CPackConfig.cmake" ] || { echo "FAIL: no configured build in $build"; exit 1; }
installed() { dpkg-query -W -f='${Status}' svazkovna 2>/dev/null | grep -q "install ok installed"; }
if installed && [ ! -e "$marker" ]; then
  echo "SKIP: the svazkovna package is installed on this machine; it is left alone"; exit 77
fi

work=$(mktemp -d)
chmod 755 "$work"
made_user=0
cleanup() {
  if [ -e "$marker" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq svazkovna >"$work/purge.log" 2>&1 \
      && rm -f "$marker" || { echo "FAIL: the package could not be removed"; cat "$work/purge.log"; }
  fi
  [ "$made_user" -eq 0 ] || userdel -r "$user" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

echo "== building the package"
SECONDS=0
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1; then
  echo "FAIL: cpack"; tail -n 30 "$work/cpack.log"; exit 1
fi
deb=$(ls "$work"/pkg/svazkovna_*_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || { echo "FAIL: no svazkovna_<version>_<arch>.deb"; exit 1; }
chmod -R a+rX "$work/pkg"
echo "ok: $(basename "$deb") in ${SECONDS}s"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for need in libsqlite3-0 qt6-qpa-plugins libqt6webenginewidgets6 libqt6widgets6; do
  grep -qE "(^|, )$need( |,|$)" <<<"$depends" || { echo "FAIL: no dependency on $need"; fail=1; }
done
if command -v lintian >/dev/null; then
  lintian "$deb" >"$work/lintian.log" 2>&1
  sed 's/^/  lintian: /' "$work/lintian.log" | grep -v "running with root privileges"
  if grep -q '^E: ' "$work/lintian.log"; then echo "FAIL: lintian reports errors"; fail=1
  else echo "ok: lintian finds no errors ($(grep -c '^W: ' "$work/lintian.log") warnings)"; fi
else
  echo "left out: lintian is not installed"
fi

echo "== installing it"
touch "$marker"
if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/install.log" 2>&1; then
  echo "FAIL: apt-get install"; tail -n 30 "$work/install.log"; exit 1
fi
desktop=$(dpkg -L svazkovna | grep '^/usr/share/applications/.*\.desktop$' | head -n1)
metainfo=$(dpkg -L svazkovna | grep '^/usr/share/metainfo/.*\.metainfo\.xml$' | head -n1)
[ -n "$desktop" ] && [ -n "$metainfo" ] || { echo "FAIL: no menu entry or no metainfo installed"; exit 1; }
for size in 16x16 32x32 48x48 64x64 128x128 256x256; do
  [ -f "/usr/share/icons/hicolor/$size/apps/svazkovna.png" ] || { echo "FAIL: no $size icon"; fail=1; }
done
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
check "menu entry's command" "$exec_line" "svazkovna"
check "menu entry sets no working folder" "$(grep -c '^Path=' "$desktop")" "0"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" 2>&1 | sed 's/^/  appstreamcli: /' || { echo "FAIL: metainfo"; fail=1; }
else
  echo "left out: appstreamcli is not installed"
fi

echo "== starting it from the PATH as $user in the home folder"
if ! id "$user" >/dev/null 2>&1; then
  useradd -m -s /bin/bash "$user" || { echo "FAIL: useradd"; exit 1; }
  made_user=1
fi
home=$(getent passwd "$user" | cut -d: -f6)
rm -rf "$home/.config/svazkovna" "$home/svazkovna.db"
cp "$root/scripts/desktop_lib.sh" "$work/desktop_lib.sh"
cat >"$work/drive.sh" <<'DRIVE'
set -u
cd "$HOME"
[ "$(command -v "$1")" = /usr/bin/svazkovna ] || { echo "FAIL: $1 on the PATH is $(command -v "$1")"; exit 1; }
work=$2
. "$DESKTOP_LIB"
# The browser starts slowly.
desktop_start "$1" 60
desktop_quit_from_menu "$pid" || fail "the program did not close from its menu"
wait "$pid"
DRIVE
touch "$work/program.log" && chown "$user" "$work/program.log"
# A clean login environment; Chromium's sandbox and shared memory are not
# available in every container this runs in.
if ! runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" LC_ALL=C.UTF-8 \
    PATH=/usr/local/bin:/usr/bin:/bin DESKTOP_LIB="$work/desktop_lib.sh" DESKTOP_CALLER_LOCALE=LC_ALL=C.UTF-8 \
    QTWEBENGINE_DISABLE_SANDBOX=1 \
    QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox --disable-dev-shm-usage" \
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/drive.sh" "$exec_line" "$work"; then
  sed 's/^/  program: /' "$work/program.log" | tail -n 20
  exit 1
fi

echo "== checking what it left"
ini="$home/.config/svazkovna/nastav.ini"
if [ -f "$ini" ]; then
  check "webbrowserskript in ~/.config/svazkovna/nastav.ini" "$(ini_value "$ini" webbrowserskript)" ""
  check "databaze in ~/.config/svazkovna/nastav.ini" "$(ini_value "$ini" databaze)" "svazkovna.db"
  check "owner of the settings file" "$(stat -c %U "$ini")" "$user"
else
  echo "FAIL: no ~/.config/svazkovna/nastav.ini"; fail=1
fi
[ ! -e /usr/bin/nastav.ini ] || { echo "FAIL: nastav.ini written beside the installed program"; fail=1; }
db="$home/svazkovna.db"
if [ -f "$db" ]; then
  check "catalogue table in ~/svazkovna.db" \
    "$(sqlite3 "$db" "select count(*) from sqlite_master where type='table' and name='svazkovna'")" "1"
  check "rows in the new catalogue" "$(sqlite3 "$db" "select count(*) from svazkovna")" "0"
else
  echo "FAIL: no svazkovna.db in the home folder"; fail=1
fi
if [ "$fail" -ne 0 ]; then sed 's/^/  program: /' "$work/program.log" | tail -n 20; fi
[ "$fail" -eq 0 ] && echo "PASS: the package installs, starts from the menu's command and keeps the user's settings"
exit "$fail"
