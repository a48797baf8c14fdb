#!/usr/bin/env bash
# Builds everything from scratch and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset default
cmake --build --preset default -j2
ctest --preset default -j2

# The same suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake --preset asan
cmake --build --preset asan -j2
ctest --preset asan -j2

# The runs that share their lines between two threads, under ThreadSanitizer.
cmake --preset tsan
cmake --build --preset tsan -j2
ctest --preset tsan -j2

# Every fuzz target for a few seconds (run tests/fuzz/run.sh 600 by hand for more).
tests/fuzz/run.sh 5
