#!/usr/bin/env bash
# Builds the emulator and runs it. For now the machine has no window yet: this
# builds everything and runs the processor benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"
./build/bench/vexa-bench
