#!/usr/bin/env bash
# Builds the fuzzers (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each in turn from its
# seed corpus for SECONDS seconds (default 60), or only the ones named:
#   scripts/fuzz.sh [SECONDS] [NAME...]
# New inputs land in build-fuzz/tests/fuzz/work/NAME/new, findings (crashes,
# hangs, leaks) in build-fuzz/tests/fuzz/work/NAME/artifacts; the figures of
# every run are collected in build-fuzz/fuzz-summary.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_FUZZ=ON \
  -DVEXA_BUILD_TESTS=OFF -DVEXA_BUILD_UI=OFF -DVEXA_BUILD_BENCH=OFF -DVEXA_BUILD_ROMS=OFF \
  -DVEXA_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target vexa_fuzzers

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  mapfile -t names < <(ctest --test-dir build-fuzz -N -L fuzz | sed -n 's/.*fuzz\.run\.\([a-z0-9_]*\)$/\1/p')
fi
summary=build-fuzz/fuzz-summary.txt
: > "$summary"
status=0
for name in "${names[@]}"; do
  echo "== $name: $seconds s"
  log=build-fuzz/tests/fuzz/work/$name.log
  mkdir -p "$(dirname "$log")"
  if ctest --test-dir build-fuzz -R "^fuzz\.run\.$name\$" --output-on-failure -V >"$log" 2>&1; then result=ok; else result=FINDING; status=1; fi
  runs=$(sed -n 's/.*stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -1)
  rate=$(sed -n 's/.*stat::average_exec_per_sec: *\([0-9]*\).*/\1/p' "$log" | tail -1)
  printf '%-14s %-8s %12s executions %8s per second\n' "$name" "$result" "${runs:-?}" "${rate:-?}" | tee -a "$summary"
  [ "$result" = ok ] || grep -E 'ERROR|fuzz check|runtime error|SUMMARY|Test unit written' "$log" | head -10
done
exit $status
