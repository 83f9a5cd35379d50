#!/usr/bin/env bash
# The real program on a virtual X server, driven with real X input like a user:
# two books added through the dialog, a search with F3, a click on a title, an
# edit saved from the panel, a second search, a delete, and quitting from the
# menu, all by keyboard but the clicks in the tree. The catalogue (bytes in
# Windows-1250) and the settings file are checked afterwards; a screenshot of
# every step is kept.
# Usage: acceptance.sh [SCREENSHOT_DIR] [path/to/svazkovna]   (exit 0 pass, 1 fail, 77 skipped)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
shots_arg=${1:-${BUILD_DIR:-$root/build}/acceptance-shots}
shots=$(mkdir -p "$shots_arg" && cd "$shots_arg" && pwd)
exe=${2:-${BUILD_DIR:-$root/build}/app/svazkovna}

. "$root/scripts/desktop_lib.sh"
desktop_require xvfb-run xdotool sqlite3 import iconv
desktop_require_atspi
desktop_prepare "$exe"
rm -f "$shots"/*.png

cat >"$work/drive.sh" <<'DRIVE'
set -u
exe=$1 work=$2 shots=$3
. "$DESKTOP_LIB"
desktop_start "$exe" 90
# Commands go by keyboard; only the tree needs the mouse (a keyboard move is
# not a click), and there the row is found by its text on the accessibility bus.
wait_gone() {  # pattern
  for _ in $(seq 1 40); do
    desktop_window_shown "$pid" "$1" || return 0
    sleep 0.25
  done
  return 1
}
click_title() {  # text
  local at
  at=$(/usr/bin/python3 "$DESKTOP_ATSPI" centre "$pid" "$1") || fail "no row \"$1\" in the tree"
  # shellcheck disable=SC2086
  xdotool mousemove $at click 1; sleep 0.4
}
typed() { desktop_type "$pid" "$1" || fail "typing \"$1\" did not arrive"; }
focus "$win"
shot 01-start

add_book() {  # author title genre rating note shot-name
  focus "$win"
  # "nový záznam": Alt+D opens "databáze", the right arrow moves on to it.
  xdotool key alt+d; sleep 0.5; xdotool key Right; sleep 0.3; xdotool key Return
  local dlg; dlg=$(desktop_window "$pid" '^z.*znam$' 20)
  [ -n "$dlg" ] || fail "the dialog did not open from the menu"
  sleep 0.5; focus "$dlg"
  # The focus starts in the author field; Tab walks the fields in tab order.
  typed "$1"; xdotool key Tab
  typed "$2"; xdotool key Tab
  typed "$3"; xdotool key Tab Tab Tab
  xdotool key ctrl+a; xdotool type -- "$4"; xdotool key Tab Tab
  typed "$5"
  sleep 0.3; shot "$6-filled"
  xdotool key Tab; sleep 0.2; xdotool key space   # "uložit" follows the note
  wait_gone '^z.*znam$' || fail "the dialog did not close after uložit"
  sleep 0.5; shot "$6-stored"
}

search() {  # text shot-name
  focus "$win"
  xdotool key F3
  local q; q=$(desktop_window "$pid" '^vyhledat$' 20)
  [ -n "$q" ] || fail "F3 did not ask for a search text"
  focus "$q"
  typed "$1"
  shot "$2-typed"
  xdotool key Return
  wait_gone '^vyhledat$' || fail "the search dialog did not close on Enter"
  sleep 0.4; shot "$2-found"
}

add_book "Karel Čapek" "Válka s mloky" "román" 9 "první vydání" 02-book1
add_book "Bohumil Hrabal" "Postřižiny" "novela" 4 "půjčit Pavlovi" 03-book2

# A search expands Hrabal, which shows his title in the tree.
search "POSTŘI" 04-search
click_title "Postřižiny"
shot 05-title-clicked
focus "$win"
xdotool key alt+p                         # "&poznámka/komentář"
typed "přečteno: 'výborné'; 100%"
xdotool key Tab; sleep 0.2; xdotool key space   # "uložit změny" follows the note
sleep 0.5; shot 06-saved

# Čapek's title, shown by a search; then "smazat", after "uložit změny".
search "mloky" 07-search
click_title "Válka s mloky"
shot 08-title-clicked
focus "$win"
xdotool key alt+p; sleep 0.2; xdotool key Tab Tab; sleep 0.2; xdotool key space
sleep 0.5; shot 09-deleted

# Quit from the menu with the keyboard: "&databáze", "&konec".
desktop_quit_from_menu "$pid" || fail "the program did not close from its menu"
wait "$pid"
DRIVE

desktop_run "$work/drive.sh" "$shots" || exit 1

db="$work/start/svazkovna.db"
check "integrity" "$(sqlite3 "$db" 'pragma integrity_check')" "ok"
check "rows left" "$(sqlite3 "$db" 'select count(*) from svazkovna')" "1"
check "id and rating of the kept book" "$(sqlite3 "$db" 'select id, hodnoceni from svazkovna')" "2|4"
check "kept book in Windows-1250" \
  "$(sqlite3 "$db" "select hex(autor)||' '||hex(titul)||' '||hex(zanr)||' '||hex(poznamka) from svazkovna")" \
  "$(cp1250hex 'Bohumil Hrabal') $(cp1250hex 'Postřižiny') $(cp1250hex 'novela') $(cp1250hex "přečteno: 'výborné'; 100%")"
check "the deleted book is gone" "$(sqlite3 "$db" "select count(*) from svazkovna where titul like '%mloky%'")" "0"
check "lending and spare columns empty text" \
  "$(sqlite3 "$db" 'select typeof(zapujcenokomu)||typeof(udaj1)||typeof(udaj3), length(zapujcenokomu||zapujcenokdy||udaj1||udaj2||udaj3) from svazkovna')" \
  "texttexttext|0"

ini="$work/bin/nastav.ini"
check "settings: databaze" "$(ini_value "$ini" databaze)" "svazkovna.db"
check "settings: webbrowserskript" "$(ini_value "$ini" webbrowserskript)" ""

[ "$fail" -eq 0 ] && echo "PASS: acceptance run (screenshots in $shots)"
exit "$fail"
