#!/usr/bin/env bash
# Builds the programs and the default test suite, then runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset default
cmake --build --preset default -j2
ctest --preset default -j2
