#!/usr/bin/env bash
# Export and import of CSV in the real program under a virtual X server, by
# keyboard: "exportovat do CSV…" writes the catalogue to a file, "otevřít
# jinou..." switches to an empty catalogue, "importovat z CSV…" reads the file
# back through its preview. Both catalogues are then compared with the sqlite3
# command-line tool, column by column, type and bytes.
# Usage: acceptance_csv.sh SCREENSHOT_DIR [path/to/svazkovna]   (exit 0 pass, 1 fail, 77 skipped)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 SCREENSHOT_DIR [path/to/svazkovna]"; exit 2; }
shots=$(mkdir -p "$1" && cd "$1" && pwd)
exe=${2:-${BUILD_DIR:-$root/build}/app/svazkovna}

. "$root/scripts/desktop_lib.sh"
desktop_require xvfb-run xdotool sqlite3 import iconv
desktop_prepare "$exe"

schema=$(catalogue_table_sql)
t() { printf "cast(X'%s' as text)" "$(cp1250hex "$1")"; }
# Made once into seed/; the driver copies them in, also when it runs a second time.
mkdir "$work/seed"
make_catalogues() {
  sqlite3 "$work/seed/svazkovna.db" "$schema;
    insert into svazkovna values(1, $(t 'Karel Čapek'), $(t 'Válka s mloky'), $(t 'román'), $(t 'Fr. Borový'),
      $(t 'I.'), $(t 'police 3'), '', '', 5, $(t "O'Brien řekl: \"výborné\"; konec"), '', '', '');
    insert into svazkovna values(2, $(t 'Jaroslav Hašek'), $(t 'Švejk, díl 1'), NULL, '', NULL, '', $(t 'Žofie'),
      '1. 5.', 3, $(t $'řádek 1\r\nřádek 2'), $(t 'x,y'), NULL, '');
    insert into svazkovna values(3, $(t 'Žák'), $(t "$(printf 'dlouhý%.0s' $(seq 1 50))"), '', '', '', '', '', '', 1, '', '', '', '');"
  sqlite3 "$work/seed/novy.db" "$schema"
}
make_catalogues

cat >"$work/drive.sh" <<'DRIVE'
set -u
export LC_ALL=C.UTF-8
exe=$1 work=$2 shots=$3
. "$DESKTOP_LIB"
focus_pause=0.5
cp "$work/seed/svazkovna.db" "$work/seed/novy.db" .
desktop_start "$exe" 60
focus "$win"
import -window root "$shots/1-main-window.png"

# "&databáze", "&exportovat do CSV…": the save dialog proposes svazkovna.csv; a full name is typed over it.
xdotool key alt+d; sleep 0.5; xdotool key e
dlg=$(find_window '^Exportovat do CSV')
[ -n "$dlg" ] || fail "the save dialog did not open"
focus "$dlg"
xdotool key ctrl+a; xdotool type --delay 20 -- "$PWD/export.csv"; sleep 0.3
import -window root "$shots/2-save-dialog.png"
confirm_file '^Exportovat do CSV' || fail "the save dialog did not take the name"
for _ in $(seq 1 40); do [ -f export.csv ] && break; sleep 0.25; done
[ -f export.csv ] || fail "no file was exported"
sleep 1
import -window root "$shots/3-exported.png"
dismiss_box || fail "no box said how many rows went out"

# "otevřít jinou..." is the menu's first item: switch to the empty catalogue.
focus "$win"
xdotool key alt+d; sleep 0.5; xdotool key Return
sleep 1.5
xdotool type --delay 20 -- "$PWD/novy.db"; sleep 0.3
# The dialog has no caption of the program's; the toolkit titles it "Open".
confirm_file '^Open$' || fail "the open dialog did not take the name"
sleep 1.5

# "&importovat z CSV…", the file by name, then the preview's "&Importovat".
focus "$win"
xdotool key alt+d; sleep 0.5; xdotool key i
dlg=$(find_window '^Importovat z CSV')
[ -n "$dlg" ] || fail "the open dialog did not appear"
focus "$dlg"
xdotool type --delay 20 -- "$PWD/export.csv"; sleep 0.3
confirm_file '^Importovat z CSV' || fail "the open dialog did not take the name"
pre=$(find_window '^import z CSV$')
[ -n "$pre" ] || fail "the preview did not appear"
focus "$pre"
import -window root "$shots/4-preview.png"
xdotool key alt+i
for _ in $(seq 1 40); do xdotool search --onlyvisible --name '^import z CSV$' >/dev/null 2>&1 || break; sleep 0.25; done
sleep 1
import -window root "$shots/5-imported.png"
dismiss_box || fail "no box said how many rows came in"
import -window root "$shots/6-tree.png"

. "$DESKTOP_LIB"
desktop_quit_from_menu "$pid" || fail "the program did not close from its menu"
wait "$pid"
DRIVE

desktop_run "$work/drive.sh" "$shots" || exit 1
every_column="select id"
for c in autor titul zanr vydal serie umisteni zapujcenokomu zapujcenokdy hodnoceni poznamka udaj1 udaj2 udaj3; do
  every_column="$every_column, typeof($c)||':'||hex($c)"
done
every_column="$every_column from svazkovna order by rowid"
check "rows imported" "$(sqlite3 "$work/start/novy.db" 'select count(*) from svazkovna')" "3"
check "every column, type and bytes" "$(sqlite3 "$work/start/novy.db" "$every_column")" \
  "$(sqlite3 "$work/seed/svazkovna.db" "$every_column")"
check "header of the file" "$(head -n1 "$work/start/export.csv" | tr -d '\r')" \
  "id,autor,titul,zanr,vydal,serie,umisteni,zapujcenokomu,zapujcenokdy,hodnoceni,poznamka,udaj1,udaj2,udaj3"
check "UTF-8 in the file" "$(grep -c 'Karel Čapek,Válka s mloky' "$work/start/export.csv")" "1"

[ "$fail" -eq 0 ] && echo "PASS: export and import of CSV (screenshots in $shots)"
exit "$fail"
