#!/usr/bin/env bash
# Runs a window test binary on a real (virtual) X server rather than Qt's
# offscreen platform: window placement, focus and the screen's size are then
# the ones a user's desktop gives. Usage: under_x11.sh TEST_BINARY
set -euo pipefail
test_binary=$(realpath "$1")
source "$(dirname "$0")/../../../scripts/lib/xsession.sh"
x_session_start 1600x1000x24
"$test_binary"
