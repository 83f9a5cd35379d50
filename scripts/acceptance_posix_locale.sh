#!/usr/bin/env bash
# The real program started with no locale at all (LANG, LANGUAGE, LC_ALL and
# every LC_* unset: the POSIX locale) under a virtual X server. It must work as
# under a Czech locale: authors in Czech order in the tree ("Ch" after "H",
# "Č" after "C"), Czech letters shown, and a title typed into the new-record
# dialog stored in Windows-1250. The tree is read through the accessibility
# bus, so no font or pixel position is involved.
# Usage: acceptance_posix_locale.sh [SCREENSHOT_DIR] [path/to/svazkovna]   (exit 0 pass, 1 fail, 77 skipped)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
shots_arg=${1:-${BUILD_DIR:-$root/build}/acceptance-posix-locale-shots}
shots=$(mkdir -p "$shots_arg" && cd "$shots_arg" && pwd)
exe=${2:-${BUILD_DIR:-$root/build}/app/svazkovna}

. "$root/scripts/desktop_lib.sh"
desktop_require xvfb-run xdotool sqlite3 import iconv
desktop_require_atspi
desktop_prepare "$exe"
rm -f "$shots"/*.png
# The program itself gets no locale variable (desktop_launch).
DESKTOP_CALLER_LOCALE=

# Authors in byte order, none in Czech order; the drive starts from this copy
# of the program's template.
cp "$root/resources/databaze.db" "$work/seed.db"
id=0
for author in Chalupa Cibulka Čapek Hašek Adam; do
  id=$((id + 1))
  sqlite3 "$work/seed.db" "insert into svazkovna values($id, cast(x'$(cp1250hex "$author")' as text),
    cast(x'$(cp1250hex "Kniha $author")' as text), '', '', '', '', '', '', 3, '', '', '', '')"
done

cat >"$work/drive.sh" <<'DRIVE'
set -u
exe=$1 work=$2 shots=$3
. "$DESKTOP_LIB"
cp "$work/seed.db" svazkovna.db
desktop_start "$exe" 60
tree() { /usr/bin/python3 "$DESKTOP_ATSPI" tree "$pid" "$@" | paste -sd '|'; }
locale_vars=$(tr '\0' '\n' <"/proc/$pid/environ" | grep -E '^(LANG|LANGUAGE|LC_[A-Z_]*)=' | paste -sd ' ')
[ -z "$locale_vars" ] || fail "the program was started with a locale: $locale_vars"
xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
shot 1-start
tree 30 >"$work/tree-start" || fail "the tree did not show on the accessibility bus"

# "nový záznam": Alt+D opens "databáze", the right arrow moves on to it.
xdotool key alt+d; sleep 0.5; xdotool key Right; sleep 0.3; xdotool key Return
dlg=$(desktop_window "$pid" '^z.*znam$' 20)
[ -n "$dlg" ] || fail "the dialog did not open from the menu"
sleep 1
xdotool windowfocus --sync "$dlg" 2>/dev/null || xdotool windowfocus "$dlg"
sleep 0.5
# The focus starts in the author field, the title comes next.
typed() { desktop_type "$pid" "$1" || fail "typing \"$1\" did not arrive"; }
typed "Čech"; sleep 0.2; xdotool key Tab; sleep 0.2
typed "Příliš žluťoučký kůň úpěl ďábelské ódy"
sleep 0.5; shot 2-dialog-filled
# From the title, seven Tabs reach "uložit"; the space bar presses it.
xdotool key Tab Tab Tab Tab Tab Tab Tab; sleep 0.2; xdotool key space
for _ in $(seq 1 40); do
  desktop_window_shown "$pid" '^z.*znam$' || break
  sleep 0.25
done
desktop_window_shown "$pid" '^z.*znam$' && fail "the dialog did not close after uložit"
sleep 1; shot 3-stored
tree 0 >"$work/tree-stored" || fail "the tree went off the accessibility bus"

desktop_quit_from_menu "$pid" || fail "the program did not close from its menu"
wait "$pid"
DRIVE

desktop_run "$work/drive.sh" "$shots" || exit 1

check "authors in Czech order at start" "$(cat "$work/tree-start")" "Adam|Cibulka|Čapek|Hašek|Chalupa"
check "authors in Czech order after adding one" "$(cat "$work/tree-stored")" "Adam|Cibulka|Čapek|Čech|Hašek|Chalupa"
db="$work/start/svazkovna.db"
check "the added book in Windows-1250" \
  "$(sqlite3 "$db" "select id, hex(autor), hex(titul) from svazkovna where id = 6")" \
  "6|$(cp1250hex 'Čech')|$(cp1250hex 'Příliš žluťoučký kůň úpěl ďábelské ódy')"
check "the seeded books kept" \
  "$(sqlite3 "$db" "select count(*) from svazkovna where id <= 5 and titul = 'Kniha ' || autor")" "5"

[ "$fail" -eq 0 ] && echo "PASS: the program without a locale (screenshots in $shots)"
exit "$fail"
