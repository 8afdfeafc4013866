# Shared by the window tests under Xvfb: vexa started on a boot ROM in a
# private folder on an X server of its own (scripts/lib/xsession.sh), closed
# from its menu, and the key bytes it read. Source it, then call
# start_vexa VEXA ROM; it sets $work, $wid and $vexa_pid.
source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/lib/xsession.sh"
x_session_start
fail() { echo "FAIL: $*" >&2; [ -f "$work/vexa.log" ] && cat "$work/vexa.log" >&2; exit 1; }

start_vexa() {
  cp "$2" "$work/rom.bin"
  printf 'bootrom rom.bin\n' > "$work/config.txt"
  # Settings of their own: a window size kept from another run would change the picture's.
  export VEXA_SETTINGS="$work/settings.ini"
  cd "$work"
  "$1" > vexa.log 2>&1 &
  vexa_pid=$!
  wid=$(x_window '^Vexa Z80 Board Emulator$') || fail "the main window did not appear"
  x_focus "$wid" || fail "the main window does not take the focus"
}

# Closes vexa from its File menu (Alt+F, then x for E&xit) and waits for it to
# end with status 0 and write its dumps.
close_vexa() {
  xdotool key --delay 100 alt+f x
  for _ in $(seq 100); do kill -0 "$vexa_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$vexa_pid" 2>/dev/null; then fail "vexa did not close from its File menu"; fi
  local status=0
  wait "$vexa_pid" || status=$?
  vexa_pid=""
  [ "$status" -eq 0 ] || fail "vexa ended with status $status"
  [ "$(stat -c %s main.ram)" -eq 524288 ] || fail "main.ram was not written"
}

# The bytes the key-echo ROM stored (its count at 0x3FFF, the bytes from 0x4000).
echoed_keys() {
  local count
  count=$(od -An -tu1 -j $((0x3FFF)) -N1 main.ram | tr -d ' ')
  [ "$count" -eq 0 ] && return
  od -An -tx1 -j $((0x4000)) -N"$count" main.ram | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}
