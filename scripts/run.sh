#!/usr/bin/env bash
# Builds everything and starts the emulator in build/run/, which the build
# fills with the boot ROM, the monitor's EEPROM image, the SD card (with the
# demo) and config.txt; the machine writes rizediv.log and its memory dumps
# there too. Without a window (no display, or a build without vexa) it runs
# vexa-headless instead: it types "run demo" into the monitor and writes the
# demo's picture and sound to build/run/screen.png and build/run/sound.wav.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"
cd build/run
if [ -x ../app/vexa ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ../app/vexa "$@"
fi
../headless/vexa-headless --frames 600 --type 'run demo\n@20' --screenshot screen.png --wav sound.wav "$@"
echo "No window (no display, or no vexa in this build): the demo's picture is in build/run/screen.png, its sound in build/run/sound.wav."
