#!/usr/bin/env bash
# A shelf of 30 books scanned into the real program under a virtual X server,
# one scan every 2 seconds as a person with a barcode scanner works: 24 found
# by the local Z39.50 server (two volumes of one work, a corporate author,
# dates in names, 260 and 264; one of them already in the catalogue), 3 only
# by the Open Library stand-in, 2 found nowhere, and one scanned twice. Then "uložit
# vybrané". Prints the time from the first scan to the stored rows and how many
# books were left for the user to type or check. Not part of the test run: a
# measurement (it takes about 90 s).
# Usage: shelf_run.sh SCREENSHOT_DIR path/to/svazkovna path/to/isbn_test_server [seconds-between-scans]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 3 ] || { echo "usage: $0 SCREENSHOT_DIR path/to/svazkovna path/to/isbn_test_server [pause]"; exit 2; }
shots=$(mkdir -p "$1" && cd "$1" && pwd)
exe=$2
server=$3
export SHELF_PAUSE=${4:-2}
# The window is judged at the screen size collectors commonly have.
export DESKTOP_SCREEN=1280x1024x24
export LC_ALL=C.UTF-8

. "$root/scripts/desktop_lib.sh"
desktop_require xvfb-run xdotool sqlite3 import iconv python3
desktop_prepare "$exe"

# The shelf: ISBNs with their check digits, MARC records for the Z39.50
# server, JSON answers for the Open Library stand-in, and the scan order.
python3 - "$work" <<'PY'
import json, sys
work = sys.argv[1]
def isbn13(n):
    body = '978800%06d' % n
    s = sum(int(c) * (1 if i % 2 == 0 else 3) for i, c in enumerate(body))
    return body + str((10 - s % 10) % 10)
def rec(fields):
    d = b''; data = b''
    for tag, subs in fields:
        body = b'  ' + b''.join(b'\x1f' + c.encode() + t.encode('utf-8') for c, t in subs) + b'\x1e'
        if tag == '264':
            body = b' 1' + body[2:]
        d += b'%3s%04d%05d' % (tag.encode(), len(body), len(data)); data += body
    d += b'\x1e'; base = 24 + len(d)
    leader = b'%05dnam a22%05d a 4500' % (base + len(data) + 1, base)
    return leader + d + data + b'\x1d'
authors = ['Čapek, Karel,', 'Němcová, Božena,', 'Hrabal, Bohumil,', 'Jirotka, Zdeněk,', 'Škvorecký, Josef,',
           'Kundera, Milan,', 'Seifert, Jaroslav,', 'Neruda, Jan,', 'Vančura, Vladislav,', 'Hašek, Jaroslav,',
           'Erben, Karel Jaromír,', 'Mácha, Karel Hynek,', 'Havel, Václav,', 'Klíma, Ivan,', 'Fuks, Ladislav,',
           'Poláček, Karel,', 'Olbracht, Ivan,', 'Jirásek, Alois,', 'Hrubín, František,', 'Holan, Vladimír,',
           'Lustig, Arnošt,']
titles = ['Povídky z jedné kapsy', 'Divá Bára', 'Ostře sledované vlaky', 'Muž v povětří', 'Zbabělci',
          'Žert', 'Všecky krásy světa', 'Povídky malostranské', 'Markéta Lazarová', 'Dobrý voják',
          'Kytice z pověstí národních', 'Máj', 'Dopisy Olze', 'Láska a smetí', 'Spalovač mrtvol',
          'Bylo nás pět', 'Anna proletářka', 'Staré pověsti české', 'Romance pro křídlovku', 'Noc s Hamletem',
          'Modlitba pro Kateřinu Horovitzovou']
marc = b''; books = []
for k in range(21):
    isbn = isbn13(100 + k)
    pub = ('264', [('a', 'Praha :'), ('b', 'Odeon,'), ('c', '%d.' % (1960 + k))]) if k % 2 else \
          ('260', [('a', 'Praha :'), ('b', 'Mladá fronta,'), ('c', '%d.' % (1960 + k))])
    marc += rec([('020', [('a', isbn + ' (váz.)')]), ('100', [('a', authors[k]), ('d', '1900-1980')]),
                 ('245', [('a', titles[k] + ' /')]), pub, ('300', [('a', '%d s. ;' % (150 + k))])])
    books.append(isbn)
# Two volumes of one work, a corporate author, one more with a subtitle.
for k, fields in enumerate([
        [('100', [('a', 'Tolkien, J. R. R.')]), ('245', [('a', 'Pán prstenů.'), ('n', 'Díl 1,'), ('p', 'Společenstvo prstenu /')])],
        [('100', [('a', 'Tolkien, J. R. R.')]), ('245', [('a', 'Pán prstenů.'), ('n', 'Díl 2,'), ('p', 'Dvě věže /')])],
        [('110', [('a', 'Národní muzeum.'), ('b', 'Knihovna')]), ('245', [('a', 'Výroční zpráva 2019 /')])]]):
    isbn = isbn13(200 + k)
    marc += rec([('020', [('a', isbn)])] + fields + [('264', [('b', 'Argo,'), ('c', '2019')])])
    books.append(isbn)
open(work + '/records.mrc', 'wb').write(marc)
ol = {}
for k, (name, title) in enumerate([('Ota Pavel', 'Smrt krásných srnců'), ('Jan Werich', 'Fimfárum'),
                                   ('Karel Poláček', 'Hostinec U kamenného stolu')]):
    isbn = isbn13(300 + k)
    ol['ISBN:' + isbn] = {'title': title, 'authors': [{'name': name}], 'publishers': [{'name': 'Albatros'}],
                          'publish_date': '2001', 'number_of_pages': 200}
    books.append(isbn)
json.dump(ol, open(work + '/ol.json', 'w'))
# Found nowhere: typed by the user.
books += [isbn13(400), isbn13(401)]
# The stored one (Žert, already catalogued) and a repeat of the first book.
open(work + '/stored.isbn', 'w').write(books[5])
books.insert(12, books[0])
assert len(books) == 30
open(work + '/scans', 'w').write('\n'.join(books) + '\n')
open(work + '/expected', 'w').write(str(len(set(books)) - 1 - 2))
PY

. "$root/scripts/isbn_servers.sh"
isbn_servers_start "$server"

cat >"$work/drive.sh" <<'DRIVE'
set -u
exe=$1 work=$2 shots=$3
export LC_ALL=C.UTF-8
cp "$work/catalogue.db" svazkovna.db
printf '[nastaveni]\r\nzdrojeisbn=%s\r\n' "$(cat "$work/sources")" >"${exe%/*}/nastav.ini"
. "$DESKTOP_LIB"
desktop_start "$exe" 90
isbnw=$(desktop_open_from_menu "$pid" "$win" p 'idat podle ISBN$')
[ -n "$isbnw" ] || fail "the ISBN window did not open from the menu"
sleep 1
focus "$isbnw"
start=$(date +%s.%N)
while read -r isbn; do
  xdotool type --delay 15 -- "$isbn"
  xdotool key Return
  sleep "$SHELF_PAUSE"
done <"$work/scans"
shot 1-shelf-queue "$isbnw"
xdotool key alt+u; sleep 1
end=$(date +%s.%N)
shot 2-shelf-stored "$isbnw"
echo "$start $end" >"$work/times"
# The two books found nowhere stay in the queue: the window asks before it
# closes (its default answer closes); the measurement is taken, so a program
# still open after that is ended.
xdotool key Escape
sleep 1
dismiss_box || true
desktop_quit_from_menu "$pid" || true
for _ in $(seq 1 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
kill "$pid" 2>/dev/null
wait "$pid" || true
DRIVE

{
  catalogue_table_sql; printf ';\n'
  printf "insert into svazkovna values(1,'Kundera Milan','Žert','','','','','','',3,'','%s','','');\n" "$(cat "$work/stored.isbn")"
} | iconv -f UTF-8 -t CP1250 | sqlite3 "$work/catalogue.db"
desktop_run "$work/drive.sh" "$shots" || exit 1

db="$work/start/svazkovna.db"
read -r start end <"$work/times"
stored=$(( $(sqlite3 "$db" 'select count(*) from svazkovna') - 1 ))
expected=$(cat "$work/expected")
twice=$(sqlite3 "$db" 'select count(*) - count(distinct udaj1) from svazkovna')
echo "shelf: 30 scans, $(python3 -c "print(round($end - $start, 1))") s from the first scan to the stored rows;" \
  "stored $stored of $expected found books, stored twice $twice;" \
  "left to the user: $(( expected - stored + twice + 2 )) (the 2 found nowhere included)"
sqlite3 "$db" "select id, autor, titul, vydal, udaj1, udaj2 from svazkovna order by id" | iconv -f CP1250 -t UTF-8
