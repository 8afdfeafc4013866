#!/usr/bin/env bash
# The menus and the machine's keyboard under a real X server: a key the menus
# take never reaches the machine, and none stays held down in the machine
# when a menu, a dialog or another window takes the keyboard. Reads back the
# bytes the key-echo ROM received. Usage: menu_keys.sh VEXA ROM
set -euo pipefail
source "$(dirname "$0")/session.sh"
start_vexa "$1" "$2"
sleep 1

# Alt+F opens the File menu: the machine gets Alt's press, and its release
# as the menu opens. The Esc that closes the menu is the menu's; the menu bar
# then gives the keyboard back, so h reaches the machine and opens no Help.
xdotool key --delay 150 alt+f
sleep 0.3
xdotool key Escape
sleep 0.3
xdotool key h
sleep 0.3

# Shift held down while another window takes the focus is released in the machine.
xmessage -geometry +700+0 "another window" &
other_pid=$!
other=$(x_window '^xmessage$') || fail "xmessage did not appear"
xdotool keydown Shift_L
sleep 0.2
x_focus "$other"
sleep 0.3
xdotool keyup Shift_L
kill "$other_pid" 2>/dev/null || true
x_focus "$wid"
sleep 0.3

close_vexa
bytes=$(echoed_keys)
expected="11 f0 11 33 f0 33 12 f0 12 11 f0 11"
[ "$bytes" = "$expected" ] || fail "the machine read '$bytes', expected '$expected'"
echo "menu keys: the machine read $bytes"
