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
work=$2
# The browser starts slowly.
desktop_start "$1" 60
desktop_quit_from_menu "$pid" || fail "the program did not close from its menu"
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
