#!/usr/bin/env bash
# Adds a book in the real program under a virtual X server, the way a user does:
# the menu command "nový záznam", typing into the dialog, pressing "uložit".
# The catalogue is then checked with the sqlite3 command-line tool; screenshots
# of each step go into the given folder.
# Usage: acceptance_add_book.sh SCREENSHOT_DIR [path/to/svazkovna]   (exit 0 pass, 1 fail, 77 skipped)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 SCREENSHOT_DIR [path/to/svazkovna]"; exit 2; }
shots=$(mkdir -p "$1" && cd "$1" && pwd)
exe=${2:-${BUILD_DIR:-$root/build}/app/svazkovna}

. "$root/scripts/desktop_lib.sh"
desktop_require xvfb-run xdotool sqlite3 import iconv
desktop_require_atspi
desktop_prepare "$exe"

cat >"$work/drive.sh" <<'DRIVE'
set -u
exe=$1 work=$2 shots=$3
. "$DESKTOP_LIB"
desktop_start "$exe" 60
# No window manager runs here: focus windows directly.
xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
import -window root "$shots/1-main-window.png"

# "nový záznam" is the menu bar's second item: Alt+D opens "databáze", the
# right arrow moves to the next item of the bar, Enter runs it.
xdotool key alt+d; sleep 0.5; xdotool key Right; sleep 0.3; xdotool key Return
dlg=$(desktop_window "$pid" '^z.*znam$' 20)
[ -n "$dlg" ] || fail "the dialog did not open from the menu"
sleep 1
xdotool windowfocus --sync "$dlg" 2>/dev/null || xdotool windowfocus "$dlg"
sleep 0.5
import -window root "$shots/2-dialog-open.png"
import -window "$dlg" "$shots/2-dialog-open-window.png"

# The focus starts in the author field; Tab walks the fields in order.
typed() { desktop_type "$pid" "$1" || fail "typing \"$1\" did not arrive"; }
type_field() { typed "$1"; sleep 0.2; xdotool key Tab; sleep 0.2; }
type_field "Karel Čapek"                 # autor
type_field "Válka s mloky"               # titul
type_field "román"                       # žánr
type_field "Fr. Borový"                  # vydal
type_field "I."                          # série
xdotool key ctrl+a; xdotool type -- "9"; sleep 0.2; xdotool key Tab; sleep 0.2   # hodnocení, brought to 5 later
type_field "police 3"                    # umístění
typed "O'Brien řekl: 'výborné'"   # poznámka
sleep 0.5
import -window "$dlg" "$shots/3-dialog-filled.png"

# Enter and Esc must neither store nor close.
xdotool key Return; sleep 0.3; xdotool key Escape; sleep 0.5
desktop_window_shown "$pid" '^z.*znam$' || fail "Enter or Esc closed the dialog"

# "uložit" follows the note in the tab order; the space bar presses it.
xdotool key Tab; sleep 0.2; xdotool key space
for _ in $(seq 1 40); do
  desktop_window_shown "$pid" '^z.*znam$' || break
  sleep 0.25
done
desktop_window_shown "$pid" '^z.*znam$' && fail "the dialog did not close after uložit"
sleep 1
import -window root "$shots/4-main-window-after.png"

desktop_quit_from_menu "$pid" || fail "the program did not close from its menu"
wait "$pid"
DRIVE

desktop_run "$work/drive.sh" "$shots" || exit 1

db="$work/start/svazkovna.db"
check "rows" "$(sqlite3 "$db" 'select count(*) from svazkovna')" "1"
check "id, rating" "$(sqlite3 "$db" 'select id, hodnoceni from svazkovna')" "1|5"
row=$(sqlite3 "$db" "select hex(autor)||' '||hex(titul)||' '||hex(zanr)||' '||hex(vydal)||' '||hex(serie)||' '||hex(umisteni)||' '||hex(poznamka) from svazkovna")
expected="$(cp1250hex 'Karel Čapek') $(cp1250hex 'Válka s mloky') $(cp1250hex 'román') $(cp1250hex 'Fr. Borový') $(cp1250hex 'I.') $(cp1250hex 'police 3') $(cp1250hex "O'Brien řekl: 'výborné'")"
check "texts as typed, in Windows-1250" "$row" "$expected"
check "empty texts, not NULL" \
  "$(sqlite3 "$db" 'select typeof(zapujcenokomu),typeof(zapujcenokdy),typeof(udaj1),typeof(udaj2),typeof(udaj3),length(zapujcenokomu||zapujcenokdy||udaj1||udaj2||udaj3) from svazkovna')" \
  "text|text|text|text|text|0"

[ "$fail" -eq 0 ] && echo "PASS: a book added through the dialog (screenshots in $shots)"
exit "$fail"
