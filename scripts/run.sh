#!/usr/bin/env bash
# Builds the emulator and starts it. It runs in build/run/, which holds its
# config.txt and receives rizediv.log and the memory dumps. Until the bundled
# boot ROM exists the machine boots a small test ROM (the picture turns from
# blue to green when a key arrives).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXA_BUILD_UI=ON
cmake --build build -j "$(nproc)" --target vexa vexa_test_programs
mkdir -p build/run
cp build/tests/programs/ui/keyecho.bin build/run/rom.bin
[ -f build/run/config.txt ] || printf 'bootrom rom.bin\n' > build/run/config.txt
cd build/run
exec ../app/vexa "$@"
