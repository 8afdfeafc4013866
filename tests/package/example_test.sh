#!/usr/bin/env bash
# The example project builds as a user builds it, against a Vexa CMake
# package, and its own test (a RAM dump check in vexa-headless) passes.
# Usage: example_test.sh EXAMPLE_SOURCE VEXA_CMAKE_DIR
set -euo pipefail
src=$(realpath "$1")
vexa_dir=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$src" "$work/src"
cmake -S "$work/src" -B "$work/build" -DVexa_DIR="$vexa_dir" > "$work/configure.log" ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build"
ctest --test-dir "$work/build" --output-on-failure
# A broken program must fail the same check: the test is not blind.
sed -i 's/ld b, 10/ld b, 9/' "$work/src/hello.asm"
cmake --build "$work/build" > /dev/null
if ctest --test-dir "$work/build" > "$work/broken.log" 2>&1; then
  echo "FAIL: the RAM check passed a program that leaves the wrong sum" >&2
  exit 1
fi
grep -q "expected 37a5, found 2da5" "$work/build/Testing/Temporary/LastTest.log" ||
  { echo "FAIL: the broken program's check did not say what it found" >&2; cat "$work/build/Testing/Temporary/LastTest.log" >&2; exit 1; }
echo "example project: passed"
