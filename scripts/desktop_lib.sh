# Shared by the scripts that run the real program on a virtual X server.
# Source it; it defines the helpers below and sets nothing else.

# Exits with 77 (skipped) when one of the named tools is missing.
desktop_require() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

# For drivers that read the program's widgets through the accessibility bus
# (scripts/desktop_atspi.py): exits with 77 when that is missing; the drive then
# runs on a session bus of its own, and the program joins the bus.
desktop_require_atspi() {
  desktop_require dbus-run-session dbus-send
  [ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import pyatspi' 2>/dev/null \
    || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
  desktop_atspi=1
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}

# Makes $work with a copy of the program in $work/bin (the settings file lands
# beside it) and an empty start folder $work/start (the catalogue lands there).
desktop_prepare() {
  local exe=$1
  [ -x "$exe" ] || { echo "FAIL: no executable at $exe"; exit 1; }
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir "$work/bin" "$work/start"
  cp "$exe" "$work/bin/svazkovna"
  # The tools work in UTF-8 whatever the caller's locale: xdotool converts
  # window names to the locale's encoding before matching them and reads the
  # text it is to type in it. C.UTF-8 is built into the C library, so nothing
  # has to be generated. The program gets the caller's locale back
  # (desktop_launch), since it must not depend on it.
  local var
  DESKTOP_CALLER_LOCALE=
  for var in $(compgen -e); do
    case $var in
      LANG | LANGUAGE | LC_*) DESKTOP_CALLER_LOCALE+="$var=${!var} " ;;
    esac
  done
  export DESKTOP_CALLER_LOCALE LC_ALL=C.UTF-8
  # Chromium refuses its sandbox as root; there is no GPU either.
  [ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
  export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox"
}

# Runs a driver script under xvfb-run from the start folder, with the program,
# $work and any further arguments; shows the program's output when it fails.
# Without a window manager, X input can race a window that is still being
# mapped, so a failed drive is tried once more from empty folders; a fault of
# the program fails both times.
desktop_run() {
  local drive=$1 attempt
  shift
  export DESKTOP_LIB=${BASH_SOURCE[0]}
  export DESKTOP_ATSPI=${DESKTOP_LIB%/*}/desktop_atspi.py
  for attempt in 1 2; do
    if (cd "$work/start" && ${desktop_atspi:+dbus-run-session --} \
          xvfb-run -a -s "-screen 0 ${DESKTOP_SCREEN:-1024x768x24}" bash "$drive" "$work/bin/svazkovna" "$work" "$@"); then
      return 0
    fi
    sed 's/^/  program: /' "$work/program.log" | tail -n 20
    [ "$attempt" -eq 2 ] || echo "the drive failed; trying once more from empty folders"
    rm -rf "$work/start" "$work/bin/nastav.ini"
    mkdir "$work/start"
  done
  return 1
}

# For the driver scripts, which source this file through $DESKTOP_LIB: starts
# the program in the background with the caller's locale variables and none
# other (an empty DESKTOP_CALLER_LOCALE: no locale at all), its output going
# to the given file; $! is the program's own process id.
desktop_launch() {
  local exe=$1 log=$2 var
  local -a clear=()
  for var in $(compgen -e); do
    case $var in LANG | LANGUAGE | LC_*) clear+=(-u "$var") ;; esac
  done
  # Qt joins the accessibility bus at once only when that bus already runs.
  if [ -n "${QT_LINUX_ACCESSIBILITY_ALWAYS_ON:-}" ] && [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1
  fi
  # Locale names hold no blanks, so the list splits into NAME=VALUE words.
  # shellcheck disable=SC2086
  env "${clear[@]}" $DESKTOP_CALLER_LOCALE "$exe" >"$log" 2>&1 &
}

# For the driver scripts, which source this file through $DESKTOP_LIB and set
# $work (and $shots for screenshots): starts the program with desktop_launch,
# its output in $work/program.log and its process id in $pid, waits up to the
# given seconds for the main window and sets $win to it. A window of that name
# may come and go while the browser sets itself up: the one shown once things
# have settled is taken.
desktop_start() {  # exe seconds
  local _waited
  desktop_launch "$1" "$work/program.log"
  pid=$!
  for ((_waited = 0; ; _waited++)); do
    desktop_window_shown "$pid" '^Svazkovna$' && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended by itself"
    [ "$_waited" -lt $(($2 * 2)) ] || fail "the main window did not appear"
    sleep 0.5
  done
  sleep 2
  win=$(desktop_window "$pid" '^Svazkovna$' 10)
  [ -n "$win" ] || fail "the main window went away"
}

# A screenshot of the whole screen, or of the given window, into $shots.
shot() {  # name [window]
  [ -n "${shots:-}" ] || return 0
  import -window "${2:-root}" "$shots/$1.png" 2>/dev/null
}

# Ends the drive as failed: a screenshot, and the program is ended.
fail() {
  echo "FAIL: $1"
  shot failure
  [ -z "${pid:-}" ] || kill "$pid" 2>/dev/null
  exit 1
}

# No window manager runs, so windows are focused directly; then a pause of
# $focus_pause seconds (0.3 unless the drive sets it) for the focus to arrive.
focus() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  sleep "${focus_pause:-0.3}"
}

# A visible window of any program by its name, which the drives keep ASCII and
# unique to this program; waits up to the given seconds (20).
find_window() { timeout "${2:-20}" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n1; }

# A message box carries the program's title, as the main window ($win) does:
# the other window of that title is the box; Return presses its OK.
dismiss_box() {
  local _try w
  for _try in $(seq 1 40); do
    for w in $(xdotool search --onlyvisible --name '^Svazkovna$' 2>/dev/null); do
      [ "$w" = "$win" ] && continue
      focus "$w"; xdotool key Return; sleep 0.5
      return 0
    done
    sleep 0.25
  done
  return 1
}

# Return in a file dialog may first only take the name completer's proposal:
# pressed again while the dialog titled $1 stays open.
confirm_file() {
  local _try
  for _try in 1 2 3; do
    xdotool key Return; sleep 1
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
  done
  return 1
}

# For drivers on the accessibility bus: types a text into the field that has
# the focus, over what it held, and reads the field back. xdotool types a
# letter without a key of its own (every Czech one) by mapping a spare key to
# it for that one press; on a busy machine the program may look the key up only
# after it was mapped back, and the letter is lost. A text that did not arrive
# whole is therefore typed again, a few times at most.
desktop_type() {  # pid text
  local _try got
  for _try in 1 2 3 4 5; do
    xdotool key ctrl+a
    xdotool type --delay 80 -- "$2"
    sleep 0.3
    got=$(/usr/bin/python3 "$DESKTOP_ATSPI" focused "$1")
    [ "$got" = "$2" ] && return 0
    echo "typed [$2], the field holds [$got]: typing it again"
  done
  return 1
}

# The program's visible window whose name matches the pattern, by the
# program's process id. xdotool matches the name's bytes, and what bytes a
# letter like "á" becomes depends on the locale, so patterns stay ASCII and let
# ".*" stand for such letters ('^z.*znam$'). Waits up to the given seconds;
# prints nothing when no such window shows.
desktop_window() {  # pid pattern seconds
  timeout "$3" xdotool search --sync --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null | head -n1
}

# Whether the program shows a window matching the pattern now.
desktop_window_shown() {  # pid pattern
  xdotool search --all --onlyvisible --pid "$1" --name "$2" >/dev/null 2>&1
}

# For the driver scripts, which source this file through $DESKTOP_LIB: opens
# a window from the "&databáze" menu by the command's mnemonic key and prints
# its id once a window of the program matching the pattern shows; the keys are
# sent again (a few times) while the main window may still be being mapped.
desktop_open_from_menu() {  # pid main-window key pattern
  local _try found
  for _try in 1 2 3 4 5; do
    xdotool windowfocus --sync "$2" >/dev/null 2>&1 || xdotool windowfocus "$2" >/dev/null 2>&1
    sleep 0.3
    xdotool key Escape; sleep 0.3
    xdotool key alt+d; sleep 0.6
    xdotool key "$3"; sleep 1
    found=$(xdotool search --all --pid "$1" --onlyvisible --name "$4" 2>/dev/null | head -n1)
    [ -n "$found" ] && { echo "$found"; return 0; }
  done
  return 1
}

# For the driver scripts, which source this file through $DESKTOP_LIB: quits
# the program from its menu with the keyboard ("&databáze", "&konec"). No
# window manager runs, so the window is focused directly, and the keys are sent
# again while the program still runs, since a window that is still being
# mapped may not take the focus yet. Fails when the program does not end.
desktop_quit_from_menu() {
  local pid=$1 win _try _wait
  for _try in $(seq 1 10); do
    win=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Svazkovna$' 2>/dev/null | tail -n1)
    if [ -n "$win" ]; then
      xdotool windowfocus --sync "$win" >/dev/null 2>&1 || xdotool windowfocus "$win" >/dev/null 2>&1
      sleep 0.3
      xdotool key Escape; sleep 0.3
      xdotool key alt+d; sleep 0.5
      xdotool key k
    fi
    for _wait in $(seq 1 10); do
      kill -0 "$pid" 2>/dev/null || return 0
      sleep 0.5
    done
  done
  return 1
}

fail=0
check() { if [ "$2" != "$3" ]; then echo "FAIL: $1: got [$2], expected [$3]"; fail=1; else echo "ok: $1"; fi; }

# The catalogue table as the program's template holds it (lines end in CR LF),
# without a closing semicolon.
catalogue_table_sql() {
  printf 'CREATE TABLE svazkovna(id integer,\r\nautor text,\r\ntitul text,\r\nzanr text,\r\nvydal text,\r\nserie text,\r\numisteni text,\r\nzapujcenokomu text,\r\nzapujcenokdy text,\r\nhodnoceni integer,\r\npoznamka text,\r\nudaj1 text,\r\nudaj2 text,\r\nudaj3 text)'
}

# The Windows-1250 bytes of a text in upper-case hex, as sqlite3's hex() shows them.
cp1250hex() { printf '%s' "$1" | iconv -f UTF-8 -t CP1250 | od -An -tx1 | tr -d ' \n' | tr a-f A-F; }

# A key of the section [nastaveni] of a settings file, or <absent>.
ini_value() {
  awk -v key="$2" '{ sub(/\r$/, "") }
    /^\[/ { in_section = (tolower($0) == "[nastaveni]"); next }
    in_section && index(tolower($0), key "=") == 1 { print substr($0, length(key) + 2); found = 1 }
    END { if (!found) print "<absent>" }' "$1" 2>/dev/null
}
