#!/usr/bin/env bash
# Builds everything and runs every test: the normal build (with the window
# tests on the offscreen platform and one under Xvfb), then the core and its
# tests under AddressSanitizer and UndefinedBehaviorSanitizer (measuring the
# core's line coverage on the way), then the threaded tests under
# ThreadSanitizer, then each fuzzer for a short while. The window soak runs
# its ten minutes in the background meanwhile.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
# The window soak (ten minutes of the demo under Xvfb) needs little CPU: it
# runs while the other trees build and test, and is waited for at the end.
ctest --test-dir build -L soak --output-on-failure >build/soak.log 2>&1 &
soak_pid=$!
ctest --test-dir build -LE soak --output-on-failure -j "$jobs"

# The sanitizer tree also measures the core's line coverage (the test suites
# and the fuzzers' corpus replays), and runs the hour-long headless soak of
# the demo from the normal tree's run folder. The soak is one long process:
# it runs in the background through the rest of the script, and its coverage
# counts go elsewhere so that the figure does not depend on when it ends.
# Under the sanitizers an emulated second of the demo costs about 0.45 s of
# processor time, so the hour would take some 27 minutes of a core; by
# default it runs a quarter of an hour, which fits beside the other stages on
# two cores (VEXA_HEADLESS_SOAK_SECONDS=3600 runs the hour).
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_SANITIZE=ON -DVEXA_COVERAGE=ON \
  -DVEXA_BUILD_UI=OFF -DVEXA_BUILD_BENCH=OFF -DVEXA_BUILD_ROMS=OFF -DVEXA_SOAK_RUN_DIR="$PWD/build/run" \
  -DVEXA_HEADLESS_SOAK_SECONDS="${VEXA_HEADLESS_SOAK_SECONDS:-900}"
cmake --build build-asan -j "$jobs"
find build-asan -name '*.gcda' -delete
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
soak_counts=$(mktemp -d)
GCOV_PREFIX="$soak_counts" ctest --test-dir build-asan -L soak --output-on-failure >build-asan/soak.log 2>&1 &
headless_soak_pid=$!
ctest --test-dir build-asan -LE soak --output-on-failure -j "$jobs"
unset ASAN_OPTIONS UBSAN_OPTIONS
./scripts/coverage.sh build-asan

# The threaded cases under ThreadSanitizer, with nothing suppressed: the CPU
# thread, the display thread, the frame hand-over to the window's store and
# two machines side by side. Qt stays out: its libraries are not instrumented.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_TSAN=ON \
  -DVEXA_BUILD_UI=OFF -DVEXA_BUILD_BENCH=OFF -DVEXA_BUILD_ROMS=OFF
cmake --build build-tsan -j "$jobs" --target vexa_tests_threads
TSAN_OPTIONS="history_size=7 halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan -L threads --output-on-failure -j "$jobs"

# Each fuzzer for 20 seconds from its corpus (clang, libFuzzer, ASan, UBSan).
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_FUZZ=ON \
  -DVEXA_BUILD_TESTS=OFF -DVEXA_BUILD_UI=OFF -DVEXA_BUILD_BENCH=OFF -DVEXA_BUILD_ROMS=OFF -DVEXA_FUZZ_SECONDS=20
cmake --build build-fuzz -j "$jobs" --target vexa_fuzzers
ctest --test-dir build-fuzz -L fuzz --output-on-failure -j "$jobs"

soaks_ok=true
wait "$soak_pid" || { cat build/soak.log; soaks_ok=false; }
wait "$headless_soak_pid" || { cat build-asan/soak.log; soaks_ok=false; }
rm -rf "$soak_counts"
$soaks_ok
grep -h 'RSS after\|emulated seconds' build/soak.log build-asan/soak.log || true
echo "All tests passed."
