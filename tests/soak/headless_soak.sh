#!/usr/bin/env bash
# The demo for a long stretch of emulated time in vexa-headless, meant for the
# AddressSanitizer build: the run must end normally, and the leak check at
# exit must find nothing. Usage: headless_soak.sh VEXA_HEADLESS RUN_FOLDER SECONDS
# (emulated seconds; the machine's clock runs at 36 MHz).
set -euo pipefail
headless=$1 run=$2 seconds=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$run"/. "$work"/
cd "$work"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
start=$(date +%s)
"$headless" --cycles $((seconds * 36000000)) --type 'run demo\n@20' --screenshot end.png
echo "$seconds emulated seconds of the demo in $(( $(date +%s) - start )) s, no leak"
