#!/usr/bin/env bash
# Resident memory of the real program after start-up, side by side: on an
# empty catalogue and on a generated one of many books (authors with 1 to 50
# books each, Czech names in Windows-1250). Each is started under a virtual X
# server, and VmRSS of its process is read from /proc once the main window is
# shown and the figure has settled.
# Usage: measure_memory.sh [BOOKS] [path/to/svazkovna]   (prints both figures and the difference in MB)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
books=${1:-100000}
exe=${2:-${BUILD_DIR:-$root/build}/app/svazkovna}

. "$root/scripts/desktop_lib.sh"
desktop_require xvfb-run xdotool python3
desktop_prepare "$exe"

cp "$root/resources/databaze.db" "$work/empty.db"
cp "$root/resources/databaze.db" "$work/full.db"
python3 - "$work/full.db" "$books" <<'PY'
import random, sqlite3, sys
path, books = sys.argv[1], int(sys.argv[2])
rnd = random.Random(1)
first = ["Jan", "Petr", "Jiří", "Marie", "Eva", "Karel", "Božena", "Zdeněk", "Věra", "Čestmír"]
last = ["Novák", "Svoboda", "Dvořák", "Černý", "Procházka", "Kučera", "Veselý", "Horák", "Němcová", "Šťastný"]
words = ["Kniha", "zima", "jaro", "řeka", "město", "hvězdy", "příběh", "noc", "cesta", "dům", "ticho", "Žena"]
db = sqlite3.connect(path)
rows, i = [], 0
while i < books:
    author = f"{rnd.choice(first)} {rnd.choice(last)} {chr(65 + rnd.randrange(26))}.{rnd.randrange(400)}"
    for _ in range(min(rnd.choice([1, 1, 1, 2, 2, 3, 4, 5, 8, 12, 25, 50]), books - i)):
        i += 1
        title = f"{rnd.choice(words)} {rnd.choice(words).lower()}"
        lent = rnd.choice(first) if rnd.randrange(10) == 0 else ""
        enc = lambda s: s.encode("cp1250")
        rows.append((i, enc(author), enc(title), enc("román"), enc("Odeon"), b"", enc("obývák"),
                     enc(lent), enc("1.3.2009" if lent else ""), 3, enc("poznámka " * rnd.randrange(4))))
db.executemany("insert into svazkovna values(?, cast(? as text), cast(? as text), cast(? as text), "
               "cast(? as text), cast(? as text), cast(? as text), cast(? as text), cast(? as text), ?, "
               "cast(? as text), '', '', '')", rows)
db.commit()
PY

cat >"$work/drive.sh" <<'DRIVE'
set -u
exe=$1 work=$2
. "$DESKTOP_LIB"
for which in empty full; do
  cp "$work/$which.db" svazkovna.db
  desktop_launch "$exe" "$work/program.log"
  pid=$!
  [ -n "$(desktop_window "$pid" '^Svazkovna$' 120)" ] || { echo "FAIL: no main window ($which)"; exit 1; }
  # Settled: the same figure, within a megabyte, half a second apart.
  last=0
  for _ in $(seq 1 60); do
    sleep 0.5
    now=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
    [ $((now - last)) -lt 1024 ] && [ $((last - now)) -lt 1024 ] && break
    last=$now
  done
  echo "$which $now" >>"$work/rss.txt"
  kill "$pid"; wait "$pid" 2>/dev/null
  rm -f svazkovna.db "$work/bin/nastav.ini"
done
DRIVE
desktop_run "$work/drive.sh" || exit 1
empty=$(awk '$1 == "empty" {print $2}' "$work/rss.txt")
full=$(awk '$1 == "full" {print $2}' "$work/rss.txt")
echo "resident memory after start-up: empty catalogue $((empty / 1024)) MB," \
     "$books books $((full / 1024)) MB, difference $(((full - empty) / 1024)) MB"
