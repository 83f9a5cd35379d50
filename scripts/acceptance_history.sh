#!/usr/bin/env bash
# Loan history and statistics in the real program under a virtual X server,
# all with real keys: a book returned from the loans window ("&vráceno",
# "Ano") leaves its loan in `udaj3` (read with the sqlite3 tool); the loans
# window's "h&istorie…" lists it (exported to CSV through the file dialog);
# "&databáze", "&statistika" opens the charts, whose page is exported to PDF
# and read back with pdftotext. Screenshots go into the given folder; the
# statistics window's is also written as statistics.png there.
# Usage: acceptance_history.sh SCREENSHOT_DIR [path/to/svazkovna]   (exit 0 pass, 1 fail, 77 skipped)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 SCREENSHOT_DIR [path/to/svazkovna]"; exit 2; }
shots=$(mkdir -p "$1" && cd "$1" && pwd)
exe=${2:-${BUILD_DIR:-$root/build}/app/svazkovna}
export LC_ALL=C.UTF-8

. "$root/scripts/desktop_lib.sh"
desktop_require xvfb-run xdotool sqlite3 import iconv pdftotext
desktop_prepare "$exe"

today=$(date +%-d.%-m.%Y)
make_catalogue() {
  local db=$1 genres=(román poezie drama detektivka '' sci-fi) places=('police 1' 'police 2' 'sklep' '')
  {
    catalogue_table_sql; printf ';\n'
    printf "insert into svazkovna values(1,'Karel Čapek','Krakatit','román','Aventinum','','police 1','Eva Dvořáková','2.11.2026',3,'','','','');\n"
    printf "insert into svazkovna values(2,'Karel Čapek','Válka s mloky','román','Aventinum','','police 1','Jan Novák','3.1.2020',4,'','','','');\n"
    printf "insert into svazkovna values(3,'Božena Němcová','Babička','','Odeon','','police 2','','',5,'','','','pozn. jiného programu');\n"
    local i
    for i in $(seq 4 60); do
      printf "insert into svazkovna values(%d,'Autor %d','Kniha %d','%s','Nakladatel %d','','%s','','',%d,'','','','');\n" \
        "$i" $((i % 9)) "$i" "${genres[i % 6]}" $((i % 4)) "${places[i % 4]}" $((i % 5 + 1))
    done
  } | iconv -f UTF-8 -t CP1250 | sqlite3 "$db"
  # Finished loans of earlier months, in the documented form.
  sqlite3 "$db" "update svazkovna set udaj3='#vypujcka'||char(9)||'Petr'||char(9)||'1.'||(id%12+1)||'.2026'||char(9)||'20.'||(id%12+1)||'.2026'||char(10) where id between 10 and 40"
}

cat >"$work/drive.sh" <<'DRIVE'
set -u
exe=$1 work=$2 shots=$3
export LC_ALL=C.UTF-8
. "$DESKTOP_LIB"
[ -f svazkovna.db ] || cp "$work/catalogue.db" svazkovna.db
rm -f "$work/historie.csv" "$work/statistika.pdf"
desktop_start "$exe" 90
find_windows() { xdotool search --all --pid "$pid" --onlyvisible --name "$1" 2>/dev/null; }
# Types a path into the focused file dialog and accepts it.
save_as() {
  local dialog
  for _ in $(seq 1 10); do
    dialog=$(find_windows '.' | grep -vx -e "$win" -e "${loans:-x}" -e "${history:-x}" -e "${stats:-x}" | head -n1)
    [ -n "$dialog" ] && break
    sleep 0.5
  done
  [ -n "$dialog" ] || fail "no file dialog"
  focus "$dialog"
  xdotool key ctrl+a; xdotool type --delay 20 -- "$1"; sleep 0.3
  xdotool key Return; sleep 1.5
}

loans=$(desktop_open_from_menu "$pid" "$win" z '^z.*p.*j.*ky$')
[ -n "$loans" ] || fail "the loans window did not open from the menu"
sleep 1
focus "$loans"
xdotool type --delay 40 -- "Krakatit"; sleep 0.5
xdotool key Tab Tab Tab; sleep 0.3
xdotool key Down; sleep 0.3
xdotool key alt+v; sleep 1
box=$(find_windows '.' | grep -vx -e "$win" -e "$loans" | head -n1)
[ -n "$box" ] || fail "no question before vráceno"
focus "$box"
xdotool key alt+a; sleep 1.5

# The history, from the loans window.
focus "$loans"
xdotool key alt+i; sleep 1.5
history=$(find_windows '^historie' | head -n1)
[ -n "$history" ] || fail "the history did not open"
focus "$history"
shot 1-history "$history"
xdotool key alt+c; sleep 1
save_as "$work/historie.csv"
focus "$history"
xdotool key alt+z; sleep 0.5
focus "$loans"
xdotool key alt+z; sleep 0.5

# The statistics, from the menu.
stats=$(desktop_open_from_menu "$pid" "$win" s '^statistika$')
[ -n "$stats" ] || fail "the statistics did not open from the menu"
xdotool windowmove "$stats" 0 0; xdotool windowsize "$stats" 1000 740; sleep 0.5
focus "$stats"
sleep 1
shot 2-statistics "$stats"
cp "$shots/2-statistics.png" "$shots/statistics.png"
xdotool key alt+p; sleep 1
save_as "$work/statistika.pdf"
focus "$stats"
xdotool key alt+z; sleep 0.5

desktop_quit_from_menu "$pid" || fail "the program did not close from its menu"
wait "$pid"
DRIVE

make_catalogue "$work/catalogue.db"
desktop_run "$work/drive.sh" "$shots" || exit 1

db="$work/start/svazkovna.db"
check "Krakatit returned" "$(sqlite3 "$db" "select length(zapujcenokomu)||'|'||length(zapujcenokdy) from svazkovna where id=1")" "0|0"
check "its loan kept in udaj3" "$(sqlite3 "$db" "select hex(udaj3) from svazkovna where id=1")" \
  "$(cp1250hex "$(printf '#vypujcka\tEva Dvořáková\t2.11.2026\t%s\n_' "$today")" | sed 's/5F$//')"
check "another program's udaj3 untouched" "$(sqlite3 "$db" "select hex(udaj3) from svazkovna where id=3")" \
  "$(cp1250hex 'pozn. jiného programu')"
check "the other loan goes on" "$(sqlite3 "$db" "select zapujcenokdy from svazkovna where id=2")" "3.1.2020"
check "the history lists the return" "$(grep -c "^Eva Dvořáková;2.11.2026;$today;" "$work/historie.csv" 2>/dev/null)" "1"
check "the history lists the older loans" "$(grep -c '^Petr;' "$work/historie.csv" 2>/dev/null)" "31"
pdf_text=$(pdftotext "$work/statistika.pdf" - 2>/dev/null)
check "the statistics page as PDF" "$(grep -c -e 'Knihy podle žánru' -e 'Vypůjčitelé s nejvíce výpůjčkami' <<<"$pdf_text")" "2"
check "sound file" "$(sqlite3 "$db" 'pragma integrity_check')" "ok"

[ "$fail" -eq 0 ] && echo "PASS: loan history kept and shown, statistics charted (screenshots in $shots)"
exit "$fail"
