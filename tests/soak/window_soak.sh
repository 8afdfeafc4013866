#!/usr/bin/env bash
# The window running the demo for a long while under a virtual X server, with
# rewind off: its resident memory may not grow by more than 5 MB between the
# end of the first minute (everything allocated once is there by then) and
# the end.
# Usage: window_soak.sh VEXA RUN_FOLDER SECONDS
set -euo pipefail
vexa=$1 run=$2 seconds=$3
source "$(dirname "$0")/../../scripts/lib/xsession.sh"
x_session_start
fail() { echo "FAIL: $*" >&2; [ -f "$work/vexa.log" ] && cat "$work/vexa.log" >&2; exit 1; }

mkdir "$work/run"
cp -r "$run"/. "$work/run"/
# Rewind off: its ring grows by design, up to its 64 MB budget (the rewind
# tests hold it to that); everything else must not grow at all.
printf '[rewind]\nenabled=false\n' > "$work/settings.ini"
export VEXA_SETTINGS="$work/settings.ini"
"$vexa" "$work/run" > "$work/vexa.log" 2>&1 &
vexa_pid=$!
wid=$(x_window '^Vexa Z80 Board Emulator$') || true
[ -n "$wid" ] || fail "the main window did not appear"
x_focus "$wid"
sleep 3 # the monitor's prompt
xdotool type --delay 80 'run demo'
xdotool key Return
rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$vexa_pid/status"; }
settle=60
[ "$seconds" -gt $((2 * settle)) ] || settle=$((seconds / 2))
sleep "$settle"
before=$(rss)
peak=$before
for ((t = settle; t < seconds; t += 10)); do
  sleep 10
  kill -0 "$vexa_pid" 2>/dev/null || fail "vexa ended during the soak"
  now=$(rss)
  [ "$now" -gt "$peak" ] && peak=$now
done
after=$(rss)
echo "RSS after ${settle} s: ${before} kB, after ${seconds} s: ${after} kB (peak ${peak} kB)"
# A picture of the window at the end, for a person to check that the demo was
# still running (set VEXA_SOAK_SHOT to a PNG path).
[ -z "${VEXA_SOAK_SHOT:-}" ] || import -window "$wid" "$VEXA_SOAK_SHOT" || true
[ $((after - before)) -lt 5120 ] || fail "RSS grew by $((after - before)) kB"
kill "$vexa_pid"
wait "$vexa_pid" 2>/dev/null || true
vexa_pid=""
