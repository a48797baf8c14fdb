#!/usr/bin/env bash
# The test command: builds the programs and the default test suite, then runs
# it, saying at each stage what it does and how long the run has taken (from a
# clean clone about 2.5 minutes on a quiet 2-core machine, most of it the build). The
# longer passes of CI are tools/long_tests.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
stage_name=test
source tools/stages.sh
tools/setup.sh
stage 1/3 "configuring build/default"
cmake --preset default
stage 2/3 "building the programs, tests and benchmarks: most of the run, shown per file"
cmake --build --preset default -j2
stage 3/3 "running the default suite, one line per test as it ends"
ctest --preset default -j2
stage done "every test passed"
