#!/usr/bin/env bash
# First start of the real program in an empty folder, under a virtual X server:
# it must write the empty catalogue where it was started and, when closed from
# its menu, the settings file beside its executable.
# Usage: check_first_start.sh [path/to/svazkovna]   (exit 0 pass, 1 fail, 77 skipped)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=${1:-${BUILD_DIR:-$root/build}/app/svazkovna}

. "$root/scripts/desktop_lib.sh"
desktop_require xvfb-run xdotool sqlite3
desktop_prepare "$exe"

cat >"$work/drive.sh" <<'DRIVE'
set -u
. "$DESKTOP_LIB"
desktop_launch "$1" "$2/program.log"
pid=$!
# Wait for the main window (the browser starts slowly).
for _ in $(seq 1 120); do
  desktop_window_shown "$pid" '^Svazkovna$' && break
  kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended by itself"; exit 1; }
  sleep 0.5
done
sleep 2
desktop_quit_from_menu "$pid" || { echo "FAIL: the program did not close from its menu"; kill "$pid"; exit 1; }
wait "$pid"
DRIVE

desktop_run "$work/drive.sh" || exit 1

# CHECK_VERBOSE=1 shows the settings file and the program's output.
[ -z "${CHECK_VERBOSE:-}" ] || { cat -A "$work/bin/nastav.ini"; cat "$work/program.log"; }
db="$work/start/svazkovna.db"
if [ -f "$db" ]; then
  table_sql=$(sqlite3 "$db" "select sql from sqlite_master where type='table' and name='svazkovna'" | tr -d '\r\n')
  check "template table" "$table_sql" "CREATE TABLE svazkovna(id integer,autor text,titul text,zanr text,vydal text,serie text,umisteni text,zapujcenokomu text,zapujcenokdy text,hodnoceni integer,poznamka text,udaj1 text,udaj2 text,udaj3 text)"
  check "objects in the catalogue" "$(sqlite3 "$db" "select count(*) from sqlite_master")" "1"
  check "rows in the catalogue" "$(sqlite3 "$db" "select count(*) from svazkovna")" "0"
else
  echo "FAIL: no svazkovna.db in the start folder"; fail=1
fi

ini="$work/bin/nastav.ini"
if [ -f "$ini" ]; then
  check "webbrowserskript" "$(ini_value "$ini" webbrowserskript)" ""
  check "databaze" "$(ini_value "$ini" databaze)" "svazkovna.db"
else
  echo "FAIL: no nastav.ini beside the executable"; fail=1
fi
[ ! -e "$work/start/nastav.ini" ] || { echo "FAIL: nastav.ini written to the start folder"; fail=1; }
[ ! -e "$work/bin/svazkovna.db" ] || { echo "FAIL: svazkovna.db written beside the executable"; fail=1; }

[ "$fail" -eq 0 ] && echo "PASS: first start"
exit "$fail"
