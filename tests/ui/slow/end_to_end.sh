#!/usr/bin/env bash
# vexa as a person uses it: started under a virtual X server on a ROM that
# echoes keys, typed into with xdotool, looked at through screenshots, and
# closed from its File menu. Usage: end_to_end.sh VEXA ROM
set -euo pipefail
vexa=$1
rom=$2

source "$(dirname "$0")/session.sh"
start_vexa "$vexa" "$rom"
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

# Close from the menu. The machine writes its dumps.
close_vexa
[ -f rizediv.log ] || fail "rizediv.log was not created"

bytes=$(echoed_keys)
if [ -z "$bytes" ]; then
  # Without a keyboard queue (not built yet) nothing reaches the program.
  [ "$after" = "$before" ] || fail "the picture changed to $after without a key"
  echo "keys: this build's keyboard queue passes no bytes yet"
else
  # The Alt of the closing Alt+F comes last, released as the menu opens.
  [ "$bytes" = "1c f0 1c 0d f0 0d 09 f0 09 11 f0 11" ] || fail "the machine read '$bytes'"
  if [ "$before" = "0,0,240" ]; then [ "$after" = "0,240,0" ] || fail "the picture was $after after the keys"; fi
  echo "keys: the machine read $bytes"
fi
echo "end to end: passed"
