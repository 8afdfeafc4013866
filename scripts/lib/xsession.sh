# Sourced by the scripts that drive vexa under a virtual X server (the window
# tests and the screenshot script): a private display and work folder, and
# the cleanup of what they started.
#   x_session_start [SCREEN]  makes $work, starts Xvfb (1024x768x24 unless
#                             given), exports DISPLAY; cleans up at exit
#   x_window TITLE-REGEX      waits up to 15 s for a window to be shown, prints its id
#   x_focus ID                gives it the keyboard focus
# A script that starts vexa in the background keeps its pid in vexa_pid, so
# that the cleanup ends it too.

x_session_end() {
  [ -n "${vexa_pid:-}" ] && kill "$vexa_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}

x_session_start() {
  work=$(mktemp -d)
  xvfb_pid=""
  vexa_pid=""
  trap x_session_end EXIT
  # The server picks a free display number and writes it to fd 3.
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -nolisten tcp 3>"$work/display" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$work/display")"
  unset QT_QPA_PLATFORM
}

x_window() {
  local id
  for _ in $(seq 150); do
    # Only mapped windows: focusing one that is not shown yet fails.
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

x_focus() {
  for _ in $(seq 50); do
    xdotool windowfocus --sync "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "FAIL: window $1 does not take the focus" >&2
  return 1
}
