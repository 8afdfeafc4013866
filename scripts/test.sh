#!/usr/bin/env bash
# Builds everything and runs every test: the normal build (with the window
# tests on the offscreen platform and one under Xvfb), then the core and its
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# threaded tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_SANITIZE=ON \
  -DVEXA_BUILD_UI=OFF -DVEXA_BUILD_BENCH=OFF -DVEXA_BUILD_ROMS=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The threaded cases under ThreadSanitizer, with nothing suppressed: the CPU
# thread, the display thread, the frame hand-over to the window's store and
# two machines side by side. Qt stays out: its libraries are not instrumented.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_TSAN=ON \
  -DVEXA_BUILD_UI=OFF -DVEXA_BUILD_BENCH=OFF -DVEXA_BUILD_ROMS=OFF
cmake --build build-tsan -j "$jobs" --target vexa_tests_threads
TSAN_OPTIONS="history_size=7 halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan -L threads --output-on-failure -j "$jobs"
echo "All tests passed."
