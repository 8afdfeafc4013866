#!/usr/bin/env bash
# Fuzzes one fuzzer for a while from its seed corpus and prints libFuzzer's
# figures. New inputs go to WORK/new, crashes and hangs to WORK/artifacts; the
# repository's corpus is only read.
#   run_fuzzer.sh FUZZER CORPUS WORK SECONDS [libFuzzer flags...]
set -euo pipefail
fuzzer=$1 corpus=$2 work=$3 seconds=$4
shift 4
mkdir -p "$work/new" "$work/artifacts"
# Leaks are findings too; ASan reports them when the fuzzer ends.
# Allocation stacks of five frames: enough to place a report, and far cheaper
# than the default thirty in fuzzers that allocate on every message.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:malloc_context_size=5}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2560 \
  -artifact_prefix="$work/artifacts/" "$@" "$work/new" "$corpus"
