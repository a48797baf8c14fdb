#!/usr/bin/env bash
# Builds everything from scratch and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset default
cmake --build --preset default -j2
ctest --preset default -j2
