#!/usr/bin/env bash
# Restores a backup in the real program under a virtual X server: a book added
# through the dialog makes the first change, so the catalogue is backed up
# first; "obnovit ze zálohy…" is then chosen from the menu with the keyboard
# and the newest backup restored with Enter. The catalogue and the backups are
# checked with the sqlite3 command-line tool; screenshots go into the given folder.
# Usage: acceptance_restore.sh SCREENSHOT_DIR [path/to/svazkovna]   (exit 0 pass, 1 fail, 77 skipped)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 SCREENSHOT_DIR [path/to/svazkovna]"; exit 2; }
shots=$(mkdir -p "$1" && cd "$1" && pwd)
exe=${2:-${BUILD_DIR:-$root/build}/app/svazkovna}

. "$root/scripts/desktop_lib.sh"
desktop_require xvfb-run xdotool sqlite3 import
desktop_prepare "$exe"

cat >"$work/drive.sh" <<'DRIVE'
set -u
# Window names are matched as UTF-8 whatever the machine's locale.
export LC_ALL=C.UTF-8
exe=$1 work=$2 shots=$3
# Two books in a catalogue table made with the command-line tool.
. "$DESKTOP_LIB"
sqlite3 svazkovna.db "$(catalogue_table_sql);
  insert into svazkovna values(1,'Hasek','Svejk','','','','','','',5,'','','','');
  insert into svazkovna values(2,'Capek','Krakatit','','','','','','',4,'','','','');"
desktop_start "$exe" 60
xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
import -window root "$shots/1-main-window.png"

# The first change: a book added through "nový záznam" (the menu bar's second item).
# A window still being mapped may miss the first click: it is tried again.
dlg=""
for _ in 1 2 3; do
  xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
  xdotool mousemove --window "$win" 83 10 click 1
  dlg=$(timeout 10 xdotool search --sync --onlyvisible --all --pid "$pid" --name '^z.*znam$' | head -n1)
  [ -n "$dlg" ] && break
done
[ -n "$dlg" ] || fail "the new-record dialog did not open"
sleep 1
xdotool windowfocus --sync "$dlg" 2>/dev/null || xdotool windowfocus "$dlg"
sleep 0.5
xdotool type --delay 30 -- "Verne"; xdotool key Tab; xdotool type --delay 30 -- "Tajuplny ostrov"
sleep 0.3
xdotool mousemove --window "$dlg" 132 192 click 1   # "uložit"
for _ in $(seq 1 40); do
  xdotool search --onlyvisible --all --pid "$pid" --name '^z.*znam$' >/dev/null || break
  sleep 0.25
done
xdotool search --onlyvisible --all --pid "$pid" --name '^z.*znam$' >/dev/null && fail "the dialog did not close after uložit"
[ "$(sqlite3 svazkovna.db 'select count(*) from svazkovna')" = 3 ] || fail "the book was not added"
import -window root "$shots/2-book-added.png"

# "databáze" → "obnovit ze zálohy…" by its mnemonic; the newest backup is preselected.
opened=""
for _ in 1 2 3; do
  xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
  sleep 0.3
  xdotool key alt+d; sleep 0.5; xdotool key b
  opened=$(timeout 10 xdotool search --sync --onlyvisible --all --pid "$pid" --name '^obnovit ze z' | head -n1)
  [ -n "$opened" ] && break
  xdotool key Escape
done
[ -n "$opened" ] || fail "the restore dialog did not open from the menu"
sleep 1
xdotool windowfocus --sync "$opened" 2>/dev/null || xdotool windowfocus "$opened"
sleep 0.3
import -window "$opened" "$shots/3-restore-dialog.png"
xdotool key Return
for _ in $(seq 1 40); do
  xdotool search --onlyvisible --all --pid "$pid" --name '^obnovit ze z' >/dev/null || break
  sleep 0.25
done
xdotool search --onlyvisible --all --pid "$pid" --name '^obnovit ze z' >/dev/null && fail "Enter did not restore"
sleep 1
import -window root "$shots/4-restored.png"

. "$DESKTOP_LIB"
desktop_quit_from_menu "$pid" || fail "the program did not close from its menu"
wait "$pid"
DRIVE

desktop_run "$work/drive.sh" "$shots" || exit 1

db="$work/start/svazkovna.db"
folder="$work/start/svazkovna.db.zalohy"
check "the catalogue as before the change" \
  "$(sqlite3 "$db" 'select group_concat(id||autor||titul, ",") from (select * from svazkovna order by id)')" \
  "1HasekSvejk,2CapekKrakatit"
check "integrity" "$(sqlite3 "$db" 'pragma integrity_check')" "ok"
mapfile -t backups < <(ls "$folder" | grep -E '^[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}-[0-9]{3}Z\.db$' | sort)
check "two backups: before the first change and before the restore" "${#backups[@]}" "2"
if [ "${#backups[@]}" -eq 2 ]; then
  check "the first backup: the catalogue before the change" \
    "$(sqlite3 "$folder/${backups[0]}" 'select count(*) from svazkovna; pragma integrity_check')" "$(printf '2\nok')"
  check "the second: the state the restore replaced, so it can be undone" \
    "$(sqlite3 "$folder/${backups[1]}" "select count(*) from svazkovna where titul='Tajuplny ostrov'; pragma integrity_check")" \
    "$(printf '1\nok')"
fi
check "nothing temporary left" "$(ls -A "$work/start" | grep -c -E '\.(obnova|part)$')" "0"

[ "$fail" -eq 0 ] && echo "PASS: a backup restored from the menu (screenshots in $shots)"
exit "$fail"
