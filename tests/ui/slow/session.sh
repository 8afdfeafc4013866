# Shared by the window tests under Xvfb: a virtual X server of their own,
# vexa started on a boot ROM in a private folder, and clean-up. Source it,
# then call start_vexa VEXA ROM; it sets $work, $wid and $vexa_pid.
work=$(mktemp -d)
xvfb_pid=""
vexa_pid=""
cleanup() {
  [ -n "$vexa_pid" ] && kill "$vexa_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/vexa.log" ] && cat "$work/vexa.log" >&2; exit 1; }

start_vexa() {
  cp "$2" "$work/rom.bin"
  printf 'bootrom rom.bin\n' > "$work/config.txt"
  # A display of our own: the server picks a free number and writes it to fd 3.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$work/display")"
  unset QT_QPA_PLATFORM

  cd "$work"
  "$1" > vexa.log 2>&1 &
  vexa_pid=$!
  wid=$(find_window '^Vexa Z80 Board Emulator$') || fail "the main window did not appear"
  focus "$wid"
}

# The id of the first window whose title matches, waiting up to ten seconds.
find_window() {
  local id=""
  for _ in $(seq 100); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; }

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
