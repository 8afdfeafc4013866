#!/usr/bin/env bash
# Takes the user's guide's screenshots from the real window: vexa runs on the
# bundled software under a virtual X server, is typed into with xdotool and
# photographed window by window into docs/images/. Run it after a change to
# the windows or the bundled software, look at the pictures, commit them.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath "${1:-build}")
out="$root/docs/images"
[ -x "$build/app/vexa" ] || { echo "build vexa first (cmake --build $build)" >&2; exit 1; }
for tool in Xvfb xdotool import convert; do
  command -v "$tool" > /dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done

source "$root/scripts/lib/xsession.sh"
x_session_start 1280x1024x24
export SDL_AUDIODRIVER=dummy
cp "$build"/run/{config.txt,boot.rom,monitor.eep,card.img} "$work/"

window() { # TITLE: the id of the window with exactly that title
  x_window "^$1\$" || { echo "no window '$1'" >&2; return 1; }
}
shot() { # NAME FILE: photographs a window
  import -window "$(window "$1")" "$out/$2"
  echo "docs/images/$2"
}

mkdir -p "$out"
(cd "$work" && exec "$build/app/vexa") > "$work/vexa.log" 2>&1 &
vexa_pid=$!
main=$(window "Vexa Z80 Board Emulator")
x_focus "$main"
sleep 1.5
xdotool type --delay 80 "dir"
xdotool key Return
sleep 1
shot "Vexa Z80 Board Emulator" main-window.png

xdotool type --delay 80 "run demo"
xdotool key Return
sleep 3
shot "Vexa Z80 Board Emulator" demo.png
xdotool key Escape
sleep 1

# The I/O monitor showing the keyboard's traffic while "help" is typed.
xdotool key --delay 150 alt+d i
monitor=$(window "Device Diagnostics Monitor")
xdotool windowmove "$monitor" 640 480
sleep 0.5
xdotool mousemove --window "$monitor" 386 75 click 1
x_focus "$main"
xdotool type --delay 80 "help"
xdotool key Return
sleep 1
shot "Device Diagnostics Monitor" io-monitor.png

# The debugger: stopped, the listing following the processor, one step taken.
x_focus "$main"
xdotool key --delay 150 alt+d d
debugger=$(window "Z80 Debugger")
xdotool windowmove "$debugger" 640 0
sleep 1
xdotool mousemove --window "$debugger" 423 418 click 1
sleep 0.5
xdotool mousemove --window "$debugger" 22 301 click 1
sleep 0.3
xdotool mousemove --window "$debugger" 451 375 click 1
sleep 0.3
xdotool mousemove --window "$debugger" 451 375 click 1
sleep 0.5
shot "Z80 Debugger" debugger.png
xdotool mousemove --window "$debugger" 423 418 click 1

x_focus "$main"
xdotool key --delay 150 alt+c o
sleep 1
shot "Emulator Options" options.png
xdotool key Return
sleep 0.5

x_focus "$main"
xdotool key --delay 150 alt+h a
sleep 1
shot "About the Software" about.png
xdotool key Return
