#!/usr/bin/env bash
# vexa as a person uses it: started under a virtual X server on a ROM that
# echoes keys, typed into with xdotool, looked at through screenshots, and
# closed from its File menu. Usage: end_to_end.sh VEXA ROM
set -euo pipefail
vexa=$1
rom=$2

source "$(dirname "$0")/../../../scripts/lib/xsession.sh"
x_session_start
fail() { echo "FAIL: $*" >&2; [ -f "$work/vexa.log" ] && cat "$work/vexa.log" >&2; exit 1; }

cp "$rom" "$work/rom.bin"
printf 'bootrom rom.bin\n' > "$work/config.txt"
export VEXA_SETTINGS="$work/settings.ini" # a window size kept from another run would not be 600 x 427

cd "$work"
"$vexa" > vexa.log 2>&1 &
vexa_pid=$!
wid=$(x_window '^Vexa Z80 Board Emulator$') || true
[ -n "$wid" ] || fail "the main window did not appear"
x_focus "$wid"
sleep 1.5 # the first speed figures come after half a second

pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }
spread() { convert "$1" -crop "$2" +repage -format '%[fx:standard_deviation]' info:; }

import -window "$wid" shot1.png
read -r width height < <(identify -format '%w %h\n' shot1.png)
[ "$width" -eq 600 ] || fail "window is $width pixels wide, not 600"
menu=$((height - 427))
[ "$menu" -gt 10 ] && [ "$menu" -lt 60 ] || fail "window height $height leaves no 600 x 427 client area"
# The status bar shows its texts, the speed figures among them.
awk -v s="$(spread shot1.png "80x19+0+$((menu + 408))")" 'BEGIN { exit !(s > 0.05) }' ||
  fail "the status bar's first panels are blank"
before=$(pixel shot1.png 300 $((menu + 200)))

# Keys reach the machine: A, Tab and F10 (neither of the last two may open a menu).
xdotool key --delay 60 a Tab F10
sleep 0.8
import -window "$wid" shot2.png
after=$(pixel shot2.png 300 $((menu + 200)))
[ "$(pixel shot2.png 599 $((menu + 407)))" = "$after" ] || fail "the picture does not reach 600 x 408"

case "$before" in
  "0,0,240") echo "picture: blue at start" ;;
  "0,0,0") echo "picture: black (this build's video chip draws nothing yet)" ;;
  *) fail "the picture was $before at start" ;;
esac
[ -n "${KEEP_SHOTS:-}" ] && cp shot1.png shot2.png "$KEEP_SHOTS/"

# Close from the menu: Alt+F, then x for E&xit. The machine writes its dumps.
xdotool key --delay 100 alt+f x
for _ in $(seq 100); do kill -0 "$vexa_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$vexa_pid" 2>/dev/null; then fail "vexa did not close from its File menu"; fi
status=0
wait "$vexa_pid" || status=$?
vexa_pid=""
[ "$status" -eq 0 ] || fail "vexa ended with status $status"
[ "$(stat -c %s main.ram)" -eq 524288 ] || fail "main.ram was not written"
[ -f rizediv.log ] || fail "rizediv.log was not created"

count=$(od -An -tu1 -j $((0x3FFF)) -N1 main.ram | tr -d ' ')
bytes=$(od -An -tx1 -j $((0x4000)) -N9 main.ram | tr -s ' ' | sed 's/^ //')
if [ "$count" -eq 0 ]; then
  # Without a keyboard queue (not built yet) nothing reaches the program.
  [ "$after" = "$before" ] || fail "the picture changed to $after without a key"
  echo "keys: this build's keyboard queue passes no bytes yet"
else
  [ "$bytes" = "1c f0 1c 0d f0 0d 09 f0 09" ] || fail "the machine read '$bytes' ($count bytes)"
  if [ "$before" = "0,0,240" ]; then [ "$after" = "0,240,0" ] || fail "the picture was $after after the keys"; fi
  echo "keys: the machine read $bytes"
fi
echo "end to end: passed"
