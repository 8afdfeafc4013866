#!/usr/bin/env bash
# Line coverage of the core (cpu board devices video audio diag host debug) from a
# build configured with -DVEXA_COVERAGE=ON whose tests have run (the test
# suites and the fuzzers' corpus replays). Prints the figure per folder and
# for the whole core, and fails when the core's figure is below the floor in
# tests/coverage-floor.txt (the measured figure less one point).
#   scripts/coverage.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: coverage.sh BUILD_DIR}
summary="$build/coverage.json"
gcovr --root . --object-directory "$build" \
  --filter '(cpu|board|devices|video|audio|diag|host|debug)/' \
  --json-summary "$summary" --print-summary >/dev/null
python3 - "$summary" tests/coverage-floor.txt <<'PY'
import json, sys
files = json.load(open(sys.argv[1]))["files"]
folders = {}
for f in files:
    folder = f["filename"].split("/")[0]
    total, covered = folders.get(folder, (0, 0))
    folders[folder] = (total + f["line_total"], covered + f["line_covered"])
lines = sum(t for t, _ in folders.values())
hit = sum(c for _, c in folders.values())
print("| folder | lines | covered | line coverage |")
print("|---|---|---|---|")
for folder in sorted(folders):
    t, c = folders[folder]
    print(f"| `{folder}/` | {t} | {c} | {100.0 * c / t:.1f}% |")
core = 100.0 * hit / lines
print(f"| core | {lines} | {hit} | {core:.1f}% |")
floor = float(open(sys.argv[2]).read().split()[0])
if core < floor:
    sys.exit(f"FAIL: core line coverage {core:.1f}% is below the floor of {floor:.1f}%")
print(f"core line coverage {core:.1f}% (floor {floor:.1f}%)")
PY
