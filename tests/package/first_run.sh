#!/usr/bin/env bash
# vexa's start as a new user meets it, under a virtual X server: the first
# start fills ~/.local/share/vexa from the bundled software, a later start
# keeps the user's card, a folder named on the command line is made and used,
# a folder without config.txt leads from the configuration box to a folder
# chooser, and without any display vexa says so in one line.
# Usage: first_run.sh VEXA BUNDLED_FOLDER
set -euo pipefail
vexa=$(realpath "$1")
bundled=$(realpath "$2")

source "$(dirname "$0")/../../scripts/lib/xsession.sh"
x_session_start
fail() { echo "FAIL: $*" >&2; [ -f "$work/vexa.log" ] && cat "$work/vexa.log" >&2; exit 1; }

# Without a display: one line, status 1; --help and --version need none.
status=0
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY "$vexa") > "$work/out" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "without a display vexa ended with status $status"
[ "$(wc -l < "$work/out")" -eq 1 ] && grep -q "no usable display.*vexa-headless" "$work/out" ||
  fail "without a display vexa said: $(cat "$work/out")"
env -u DISPLAY "$vexa" --version | grep -q "^vexa [0-9]" || fail "--version"
env -u DISPLAY "$vexa" --help | grep -q "FOLDER" || fail "--help"
echo "no display: one line and status 1"

unset XDG_DATA_HOME
export HOME="$work/home"
mkdir -p "$HOME" "$work/elsewhere"

start() { # FOLDER ARGS...: starts vexa in FOLDER
  local dir=$1; shift
  (cd "$dir" && exec "$vexa" "$@") > "$work/vexa.log" 2>&1 &
  vexa_pid=$!
}
close_main() { # closes the main window from its File menu and checks the status
  local id
  id=$(x_window '^Vexa Z80 Board Emulator$') || fail "the main window did not appear"
  x_focus "$id"
  sleep 0.5
  xdotool key --delay 100 alt+f x
  local status=0
  for _ in $(seq 100); do kill -0 "$vexa_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$vexa_pid" 2>/dev/null && fail "vexa did not close"
  wait "$vexa_pid" || status=$?
  vexa_pid=""
  [ "$status" -eq 0 ] || fail "vexa ended with status $status"
}

# First start from the menu (a folder without config.txt): the user's folder.
user="$HOME/.local/share/vexa"
start "$work/elsewhere"
close_main
for f in config.txt boot.rom monitor.eep card.img; do
  cmp -s "$bundled/$f" "$user/$f" || fail "$f was not copied to $user"
done
[ "$(stat -c %s "$user/main.ram")" -eq 524288 ] || fail "the machine did not run in $user"
[ ! -e "$work/elsewhere/main.ram" ] || fail "the machine ran in the start folder"
echo "first start: $user filled and used"

# The user's card survives a later start; a file the user deleted comes back.
printf 'MY SAVED BLOCK' | dd of="$user/card.img" bs=1 seek=$((0x20000)) conv=notrunc status=none
cp "$user/card.img" "$work/card.mine"
rm "$user/monitor.eep"
start "$work/elsewhere"
close_main
cmp -s "$work/card.mine" "$user/card.img" || fail "the user's card was replaced"
cmp -s "$bundled/monitor.eep" "$user/monitor.eep" || fail "a deleted bundled file did not come back"
echo "later start: the card kept, the missing EEPROM image restored"

# XDG_DATA_HOME moves the user's folder.
XDG_DATA_HOME="$work/xdg" start "$work/elsewhere"
close_main
[ -f "$work/xdg/vexa/main.ram" ] || fail "XDG_DATA_HOME was not used"

# A folder named on the command line is created, filled and used.
start "$work/elsewhere" "$work/project"
close_main
[ -f "$work/project/card.img" ] && [ -f "$work/project/main.ram" ] || fail "vexa FOLDER did not run there"
echo "vexa FOLDER: created and used"

# A folder without config.txt: the configuration box, then a folder chooser.
mkdir "$work/empty"
rm "$work/project/main.ram"
start "$work/elsewhere" "$work/empty"
box=$(x_window '^Fatal Configuration Error$') || fail "no configuration box"
x_focus "$box"
[ -n "${KEEP_SHOTS:-}" ] && import -window root "$KEEP_SHOTS/config-box.png"
xdotool key Return
chooser=$(x_window '^Choose a Run Folder') || fail "no folder chooser after the box"
x_focus "$chooser"
sleep 0.5
[ -n "${KEEP_SHOTS:-}" ] && import -window root "$KEEP_SHOTS/chooser.png"
xdotool type --delay 20 "$work/project/"
xdotool key Return
sleep 0.3
xdotool key Return 2>/dev/null || true
close_main
[ -f "$work/project/main.ram" ] || fail "the chosen folder was not used"
echo "missing config.txt: box, chooser, run in the chosen folder"

# Giving up in the chooser ends the program with status 1.
start "$work/elsewhere" "$work/empty"
box=$(x_window '^Fatal Configuration Error$') || fail "no configuration box"
x_focus "$box"
xdotool key Return
chooser=$(x_window '^Choose a Run Folder') || fail "no folder chooser"
x_focus "$chooser"
sleep 0.3
xdotool key Escape
status=0
for _ in $(seq 100); do kill -0 "$vexa_pid" 2>/dev/null || break; sleep 0.1; done
wait "$vexa_pid" || status=$?
vexa_pid=""
[ "$status" -eq 1 ] || fail "giving up ended with status $status"
echo "first run: passed"
