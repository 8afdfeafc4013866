#!/usr/bin/env bash
# Emulation control as a person uses it, in a real window under a virtual X
# server: the demo runs, Ctrl+Alt+P pauses it (title and panel say so, the
# picture holds), Ctrl+Alt+N steps a frame, a quick slot is saved and loaded,
# Ctrl+Alt+R held rewinds, Ctrl+Alt+Enter goes full screen and back, and
# Ctrl+Alt+S saves a 400 x 240 screenshot. With SHOTS=DIR the screenshots are
# kept there to be looked at. Usage: control_end_to_end.sh VEXA ROMS_DIR
set -euo pipefail
vexa=$1
roms=$2

source "$(dirname "$0")/../../../scripts/lib/xsession.sh"
x_session_start
fail() { echo "FAIL: $*" >&2; [ -f "$work/vexa.log" ] && cat "$work/vexa.log" >&2; exit 1; }

for f in boot.rom monitor.eep card.img; do cp "$roms/$f" "$work/"; done
printf 'bootrom boot.rom\neeprom 0 monitor.eep\nsdcard 0 card.img\n' > "$work/config.txt"
export VEXA_SETTINGS="$work/settings.ini"

cd "$work"
"$vexa" > vexa.log 2>&1 &
vexa_pid=$!
wid=$(x_window '^Vexa Z80 Board Emulator$') || true
[ -n "$wid" ] || fail "the main window did not appear"
x_focus "$wid"
sleep 1
xdotool type --delay 80 'run demo'
xdotool key Return
sleep 3

shot() { import -window "$wid" "$1"; [ -n "${SHOTS:-}" ] && cp "$1" "$SHOTS/" || true; }
# The picture alone: the window less its menu bar and status bar.
picture() { local h; h=$(identify -format '%h' "$1"); convert "$1" -crop "600x408+0+$((h - 427))" +repage "$2"; }
same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = "0" ]; }

shot running.png
xdotool key ctrl+alt+p
sleep 0.6
title=$(xdotool getwindowname "$wid")
[[ "$title" == *PAUSED* ]] || fail "the title does not say PAUSED: $title"
shot paused1.png
sleep 0.8
shot paused2.png
picture paused1.png p1.png
picture paused2.png p2.png
same p1.png p2.png || fail "the picture moved while paused"
[ "$(grep -c . vexa.log || true)" -ge 0 ]

xdotool key ctrl+alt+n
sleep 0.5
shot advanced.png
picture advanced.png adv.png
same p1.png adv.png && echo "frame advance: the demo's picture did not change in one frame" || echo "frame advance: one frame on"

xdotool key ctrl+alt+shift+1
sleep 0.5
[ -s quick1.vxs ] || fail "Ctrl+Alt+Shift+1 wrote no quick1.vxs"
echo "quick save: $(stat -c %s quick1.vxs) bytes"

xdotool key ctrl+alt+p
sleep 2
shot later.png
picture later.png later-p.png
same later-p.png adv.png && fail "the demo did not move on after resuming"
xdotool key ctrl+alt+p
sleep 0.3
xdotool key ctrl+alt+1
sleep 0.8
shot loaded.png
picture loaded.png loaded-p.png
same loaded-p.png adv.png || fail "the loaded quick slot does not show the saved picture"
echo "quick load: the saved frame is back"

xdotool key ctrl+alt+p
sleep 3
shot before-rewind.png
xdotool keydown ctrl+alt+r
sleep 1.2
shot rewinding.png
xdotool keyup r
xdotool keyup alt
xdotool keyup ctrl
sleep 0.5
title=$(xdotool getwindowname "$wid")
[[ "$title" != *PAUSED* ]] || fail "still paused after the rewind"
kill -0 "$vexa_pid" || fail "vexa ended during the rewind"

xdotool key ctrl+alt+Return
sleep 1
read -r _ fw fh < <(xdotool getwindowgeometry "$wid" | awk '/Geometry/ { split($2, a, "x"); print "x", a[1], a[2] }')
shot fullscreen.png
[ "$fw" -eq 1024 ] && [ "$fh" -eq 768 ] || fail "full screen is ${fw}x${fh}, not 1024x768"
xdotool key ctrl+alt+Return
sleep 1
read -r _ nw _ < <(xdotool getwindowgeometry "$wid" | awk '/Geometry/ { split($2, a, "x"); print "x", a[1], a[2] }')
[ "$nw" -lt 1024 ] || fail "the window did not come back from full screen"
shot windowed.png

xdotool key ctrl+alt+s
dialog=$(x_window '^Save Screenshot$') || fail "Ctrl+Alt+S opened no dialog"
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 20 "$work/screen.png"
xdotool key Return
for _ in $(seq 50); do [ -s screen.png ] && break; sleep 0.1; done
[ "$(identify -format '%wx%h' screen.png)" = "400x240" ] || fail "the screenshot is not 400 x 240"
[ -n "${SHOTS:-}" ] && cp screen.png "$SHOTS/" || true

x_focus "$wid"
xdotool key --delay 100 alt+f x
for _ in $(seq 100); do kill -0 "$vexa_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$vexa_pid" 2>/dev/null && fail "vexa did not close from its File menu"
wait "$vexa_pid" || fail "vexa ended with an error"
vexa_pid=""
grep -q 'window' settings.ini || fail "the window's place was not kept"
echo "control end to end: passed"
