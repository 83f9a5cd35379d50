#!/usr/bin/env bash
# The real program on a virtual X server, driven with real X input like a user:
# two books added through the dialog, a search with F3, a click on a title, an
# edit saved from the panel, a second search, a delete, and quitting from the
# menu with the keyboard. The catalogue (bytes in Windows-1250) and the
# settings file are checked afterwards; a screenshot of every step is kept.
# Usage: acceptance.sh [SCREENSHOT_DIR] [path/to/svazkovna]   (exit 0 pass, 1 fail, 77 skipped)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
shots_arg=${1:-${BUILD_DIR:-$root/build}/acceptance-shots}
shots=$(mkdir -p "$shots_arg" && cd "$shots_arg" && pwd)
exe=${2:-${BUILD_DIR:-$root/build}/app/svazkovna}

. "$root/scripts/desktop_lib.sh"
desktop_require xvfb-run xdotool sqlite3 import iconv
desktop_prepare "$exe"
rm -f "$shots"/*.png

cat >"$work/drive.sh" <<'DRIVE'
set -u
exe=$1 work=$2 shots=$3
"$exe" >"$work/program.log" 2>&1 &
pid=$!
shot() { import -window root "$shots/$1.png" 2>/dev/null; }
fail() { echo "FAIL: $1"; shot failure; kill "$pid" 2>/dev/null; exit 1; }
win=$(timeout 90 xdotool search --sync --onlyvisible --name '^Svazkovna$' | head -n1)
[ -n "$win" ] || fail "the main window did not appear"
sleep 2
# No window manager runs here, so windows are focused directly and every
# position is taken relative to the window found by its title.
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; sleep 0.3; }
wait_window() {  # name -> window id, or empty
  local w
  w=$(timeout 20 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n1)
  echo "$w"
}
wait_gone() {
  for _ in $(seq 1 40); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.25
  done
  return 1
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.4; }
focus "$win"
shot 01-start

# Known layout: the menu bar is 27 pixels high; the record panel starts at
# (165, 30) in the window (the tabs on the left and the 136-pixel tree before
# it), its controls at their fixed places inside it; tree rows are 13 pixels
# apart, the first centred 36 pixels down.
panel() { click "$win" $((165 + $1)) $((30 + $2)); }
row() { click "$win" 70 $((36 + 13 * $1)); }

add_book() {  # author title genre rating note shot-name
  focus "$win"
  click "$win" 83 10                      # "nový záznam"
  local dlg; dlg=$(wait_window '^záznam$')
  [ -n "$dlg" ] || fail "the dialog did not open from the menu"
  sleep 0.5; focus "$dlg"
  # The focus starts in the author field; Tab walks the fields in tab order.
  xdotool type --delay 60 -- "$1"; xdotool key Tab
  xdotool type --delay 60 -- "$2"; xdotool key Tab
  xdotool type --delay 60 -- "$3"; xdotool key Tab Tab Tab
  xdotool key ctrl+a; xdotool type -- "$4"; xdotool key Tab Tab
  xdotool type --delay 60 -- "$5"
  sleep 0.3; shot "$6-filled"
  click "$dlg" 132 192                    # "uložit"
  wait_gone '^záznam$' || fail "the dialog did not close after uložit"
  sleep 0.5; shot "$6-stored"
}

search() {  # text shot-name
  focus "$win"
  xdotool key F3
  local q; q=$(wait_window '^vyhledat$')
  [ -n "$q" ] || fail "F3 did not ask for a search text"
  focus "$q"
  xdotool type --delay 60 -- "$1"
  shot "$2-typed"
  xdotool key Return
  wait_gone '^vyhledat$' || fail "the search dialog did not close on Enter"
  sleep 0.4; shot "$2-found"
}

add_book "Karel Čapek" "Válka s mloky" "román" 9 "první vydání" 02-book1
add_book "Bohumil Hrabal" "Postřižiny" "novela" 4 "půjčit Pavlovi" 03-book2

# The tree: "Bohumil Hrabal", "Karel Čapek". A search expands Hrabal, so his
# title is the second row.
search "POSTŘI" 04-search
row 1
shot 05-title-clicked
panel 200 150                             # "poznámka/komentář" (10, 140, width 450)
xdotool key ctrl+a
xdotool type --delay 60 -- "přečteno: 'výborné'; 100%"
panel 50 177                              # "uložit změny" (10, 165, width 80)
sleep 0.5; shot 06-saved

# Čapek's title, expanded by a search, is the third row; then "smazat".
search "mloky" 07-search
row 2
shot 08-title-clicked
panel 145 177                             # "smazat" (105, 165, width 80)
sleep 0.5; shot 09-deleted

# Quit from the menu with the keyboard: "&databáze", "&konec".
. "$DESKTOP_LIB"
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
