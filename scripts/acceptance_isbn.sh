#!/usr/bin/env bash
# Adding books by ISBN in the real program under a virtual X server: the
# window opened from the menu with the keyboard ("&databáze", "&přidat podle
# ISBN…"), three ISBNs typed as a scanner types them (digits, then Enter), the
# found books stored with "&uložit vybrané". The sources are local test
# servers: the Z39.50 test server with MARC records (UTF-8 and MARC-8) and a
# small HTTP server answering as Open Library. The catalogue is then checked
# with the sqlite3 tool: Windows-1250 bytes and the ISBN in udaj1.
# Usage: acceptance_isbn.sh SCREENSHOT_DIR path/to/svazkovna path/to/isbn_test_server
#        (exit 0 pass, 1 fail, 77 skipped)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 3 ] || { echo "usage: $0 SCREENSHOT_DIR path/to/svazkovna path/to/isbn_test_server"; exit 2; }
shots=$(mkdir -p "$1" && cd "$1" && pwd)
exe=$2
server=$3
export LC_ALL=C.UTF-8

. "$root/scripts/desktop_lib.sh"
desktop_require xvfb-run xdotool sqlite3 import iconv python3
desktop_prepare "$exe"
[ -x "$server" ] || { echo "FAIL: no test server at $server"; exit 1; }

# The records the Z39.50 server serves, in ISO 2709: Krakatit in UTF-8, Babička in MARC-8.
python3 - "$work/records.mrc" <<'PY'
import sys
def rec(fields, utf8):
    d = b''; data = b''
    for tag, subs in fields:
        body = b'  ' + b''.join(b'\x1f' + c.encode() + t for c, t in subs) + b'\x1e'
        d += b'%3s%04d%05d' % (tag.encode(), len(body), len(data)); data += body
    d += b'\x1e'; base = 24 + len(d)
    leader = b'%05dnam %c22%05d a 4500' % (base + len(data) + 1, ord('a' if utf8 else ' '), base)
    return leader + d + data + b'\x1d'
u = lambda s: s.encode('utf-8')
open(sys.argv[1], 'wb').write(
    rec([('020', [('a', u('978-80-7106-131-1 (váz.)'))]), ('100', [('a', u('Čapek, Karel,')), ('d', b'1890-1938')]),
         ('245', [('a', b'Krakatit /')]), ('260', [('b', u('Československý spisovatel,')), ('c', b'1982.')])], True) +
    rec([('020', [('a', b'0306406152')]), ('100', [('a', b'N\xe9emcov\xe2a, Bo\xe9zena')]),
         ('245', [('a', b'Babi\xe9cka /')]), ('264', [('b', b'Albatros,'), ('c', b'[2005]')])], False))
PY
# Open Library: one book, Saturnin; every other ISBN is not there.
cat >"$work/ol.json" <<'JSON'
{"ISBN:9788071452225": {"title": "Saturnin", "authors": [{"name": "Zdeněk Jirotka"}],
                        "publishers": [{"name": "Atlantis"}], "publish_date": "1998"}}
JSON
. "$root/scripts/isbn_servers.sh"
isbn_servers_start "$server"

cat >"$work/drive.sh" <<'DRIVE'
set -u
exe=$1 work=$2 shots=$3
export LC_ALL=C.UTF-8
[ -f svazkovna.db ] || cp "$work/catalogue.db" svazkovna.db
# The sources, in the settings beside the program (a retry starts without them).
[ -f "${exe%/*}/nastav.ini" ] || printf '[nastaveni]\r\nzdrojeisbn=%s\r\n' "$(cat "$work/sources")" >"${exe%/*}/nastav.ini"
. "$DESKTOP_LIB"
desktop_start "$exe" 90

# "&databáze", then "&přidat podle ISBN…".
isbnw=$(desktop_open_from_menu "$pid" "$win" p 'idat podle ISBN$')
[ -n "$isbnw" ] || fail "the ISBN window did not open from the menu"
sleep 1
focus "$isbnw"
# As a scanner: the digits and Enter, one number after another.
for isbn in 9788071061311 0306406152 9788071452225; do
  xdotool type --delay 30 -- "$isbn"
  xdotool key Return
  sleep 0.3
done
sleep 4
shot 1-queue "$isbnw"
focus "$isbnw"
xdotool key alt+u; sleep 2
shot 2-stored "$isbnw"
xdotool key Escape
desktop_quit_from_menu "$pid" || fail "the program did not close from its menu"
wait "$pid"
DRIVE

# A catalogue with one book, in Windows-1250 like the program writes.
{
  catalogue_table_sql; printf ';\n'
  printf "insert into svazkovna values(1,'Hašek Jaroslav','Švejk','','','','','','',3,'','','','');\n"
} | iconv -f UTF-8 -t CP1250 | sqlite3 "$work/catalogue.db"
desktop_run "$work/drive.sh" "$shots" || exit 1

db="$work/start/svazkovna.db"
check "rows" "$(sqlite3 "$db" 'select count(*) from svazkovna')" "4"
check "stored books, Windows-1250, ISBN-13 in udaj1" \
  "$(sqlite3 "$db" "select id, hex(autor), hex(titul), hex(vydal), hodnoceni, udaj1 from svazkovna where id>1 order by id")" \
  "$(printf '2|%s|%s|%s|3|9788071061311\n3|%s|%s|%s|3|9780306406157\n4|%s|%s|%s|3|9788071452225' \
      "$(cp1250hex 'Čapek Karel')" "$(cp1250hex 'Krakatit')" "$(cp1250hex 'Československý spisovatel')" \
      "$(cp1250hex 'Němcová Božena')" "$(cp1250hex 'Babička')" "$(cp1250hex 'Albatros')" \
      "$(cp1250hex 'Jirotka Zdeněk')" "$(cp1250hex 'Saturnin')" "$(cp1250hex 'Atlantis')")"
check "empty texts, not NULL" "$(sqlite3 "$db" "select count(*) from svazkovna where zapujcenokomu is null or udaj2 is null or poznamka is null")" "0"
check "sound file" "$(sqlite3 "$db" 'pragma integrity_check')" "ok"

[ "$fail" -eq 0 ] && echo "PASS: three books added by ISBN from local catalogues (screenshots in $shots)"
exit "$fail"
