#!/usr/bin/env bash
# The loans window in the real program under a virtual X server: opened from
# the menu with the keyboard ("&databáze", "&zápůjčky"), a book found by typing
# into the filter and returned with "vráceno" and "Ano", all with real keys.
# The catalogue is then checked with the sqlite3 command-line tool; the
# screenshots (one shows an overdue loan) go into the given folder.
# Usage: acceptance_loans.sh SCREENSHOT_DIR [path/to/svazkovna]   (exit 0 pass, 1 fail, 77 skipped)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 SCREENSHOT_DIR [path/to/svazkovna]"; exit 2; }
shots=$(mkdir -p "$1" && cd "$1" && pwd)
exe=${2:-${BUILD_DIR:-$root/build}/app/svazkovna}
# Window names are matched the same way whatever the caller's locale.
export LC_ALL=C.UTF-8

. "$root/scripts/desktop_lib.sh"
desktop_require xvfb-run xdotool sqlite3 import iconv
desktop_prepare "$exe"

# A catalogue with loans typed every which way, in Windows-1250 like the program writes.
today=$(date +%-d.%-m.%Y)
make_catalogue() {
  local db=$1
  {
    catalogue_table_sql; printf ';\n'
    printf "insert into svazkovna values(1,'Karel Čapek','Válka s mloky','román','','','police 1','Jan Novák','3.1.2020',4,'','','','');\n"
    printf "insert into svazkovna values(2,'Karel Čapek','Krakatit','román','','','police 1','Eva Dvořáková','%s',3,'','','','');\n" "$today"
    printf "insert into svazkovna values(3,'Božena Němcová','Babička','','','','police 2','','',5,'','','','');\n"
    printf "insert into svazkovna values(4,'Jaroslav Hašek','Osudy dobrého vojáka Švejka','','','','police 2','Jan Novák','v březnu 2024',5,'','','','');\n"
    printf "insert into svazkovna values(5,'Alois Jirásek','Psohlavci','','','','','Petr','2. díl',3,'','','','');\n"
  } | iconv -f UTF-8 -t CP1250 | sqlite3 "$db"
}

cat >"$work/drive.sh" <<'DRIVE'
set -u
exe=$1 work=$2 shots=$3
export LC_ALL=C.UTF-8
# A retry starts from an empty start folder: the catalogue comes again.
[ -f svazkovna.db ] || cp "$work/catalogue.db" svazkovna.db
. "$DESKTOP_LIB"
desktop_start "$exe" 90
# Windows of this program only, by a pattern safe for any byte reading of the name.
find_windows() { xdotool search --all --pid "$pid" --onlyvisible --name "$1" 2>/dev/null; }
focus "$win"

# "&databáze", then "&zápůjčky".
loans=""
for _ in $(seq 1 5); do
  focus "$win"
  xdotool key Escape; sleep 0.3
  xdotool key alt+d; sleep 0.6
  xdotool key z; sleep 1
  loans=$(find_windows '^z.*p.*j.*ky$' | head -n1)
  [ -n "$loans" ] && break
done
[ -n "$loans" ] || fail "the loans window did not open from the menu"
sleep 1
focus "$loans"
shot 1-loans-window "$loans"

# The filter has the focus first; the list is three tab stops further.
xdotool type --delay 40 -- "Krakatit"; sleep 0.5
xdotool key Tab Tab Tab; sleep 0.3
xdotool key Down; sleep 0.3
shot 2-filtered "$loans"
xdotool key alt+v; sleep 1
box=$(find_windows '.' | grep -vx -e "$win" -e "$loans" | head -n1)
[ -n "$box" ] || fail "no question before vráceno"
focus "$box"
shot 3-question
xdotool key alt+a; sleep 1
focus "$loans"
xdotool key ctrl+a BackSpace; sleep 0.8
shot 4-after-return "$loans"

. "$DESKTOP_LIB"
desktop_quit_from_menu "$pid" || fail "the program did not close from its menu"
wait "$pid"
DRIVE

make_catalogue "$work/catalogue.db"
desktop_run "$work/drive.sh" "$shots" || exit 1

db="$work/start/svazkovna.db"
check "rows" "$(sqlite3 "$db" 'select count(*) from svazkovna')" "5"
check "Krakatit returned, both fields empty text" \
  "$(sqlite3 "$db" "select typeof(zapujcenokomu), length(zapujcenokomu), typeof(zapujcenokdy), length(zapujcenokdy) from svazkovna where id=2")" \
  "text|0|text|0"
check "the other loans kept" \
  "$(sqlite3 "$db" "select id, hex(zapujcenokomu), hex(zapujcenokdy) from svazkovna where id<>2 order by id")" \
  "$(printf '1|%s|%s\n3||\n4|%s|%s\n5|%s|%s' "$(cp1250hex 'Jan Novák')" "$(cp1250hex '3.1.2020')" \
       "$(cp1250hex 'Jan Novák')" "$(cp1250hex 'v březnu 2024')" "$(cp1250hex 'Petr')" "$(cp1250hex '2. díl')")"
check "sound file" "$(sqlite3 "$db" 'pragma integrity_check')" "ok"

[ "$fail" -eq 0 ] && echo "PASS: a loan returned from the loans window (screenshots in $shots)"
exit "$fail"
