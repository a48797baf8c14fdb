#!/usr/bin/env bash
# Builds the fuzz targets (clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, one after the
# other. Fails when any target finds a crash, a sanitizer report, a leak, a
# timeout, an out-of-memory or a broken check.
#
# usage: tests/fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]
#   SECONDS_PER_TARGET  default 10 (CI); run longer by hand, e.g. 600
#   TARGET              result_reader, free_input, formatted_input, numeric_fields,
#                       graph_data, point_file, postconv_run, timehist_run
#                       (default: all)
# Environment: FUZZ_BUILD_DIR (default build/fuzz). The corpora grow in
# FUZZ_BUILD_DIR/fuzz-work/corpus/TARGET and are kept between runs; findings
# land in FUZZ_BUILD_DIR/fuzz-work/findings/TARGET/. Turn every finding into a
# regression input: copy it to tests/fuzz/regressions/TARGET/ (it then runs in
# every ctest) and fix what it shows.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-10}
shift || true
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
work=$build/fuzz-work

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for f in "$here"/*_fuzz.cpp; do
    name=$(basename "$f" .cpp)
    targets+=("${name%_fuzz}")
  done
fi

# Without clang and its libFuzzer runtime (tools/setup.sh installs them) there
# is nothing to run: say so and leave the verdict to the other tests.
probe=$(mktemp -d)
if ! command -v clang++ >/dev/null ||
  ! echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
  clang++ -x c++ -fsanitize=fuzzer,address,undefined - -o "$probe/probe" 2>/dev/null; then
  rm -rf "$probe"
  echo "fuzz: clang++ with libFuzzer not found; the fuzz targets are skipped"
  exit 0
fi
rm -rf "$probe"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DGWPOST_FUZZ=ON -DGWPOST_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target resultgen "${targets[@]/#/fuzz_}" >/dev/null
bash "$here/make_corpus.sh" "$build/bin" "$work/seeds" >/dev/null

summary=$work/summary.txt
: >"$summary"
failed=0
for target in "${targets[@]}"; do
  corpus=$work/corpus/$target
  findings=$work/findings/$target
  log=$work/logs/$target.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  inputs=("$corpus" "$work/seeds/$target")
  [ -d "$here/regressions/$target" ] && inputs+=("$here/regressions/$target")
  # Single allocations above 1 GiB fail as on a machine short of memory: the
  # extractor sizes its series store from the graph data file in one piece and
  # refuses the file when that fails, which is what is fuzzed (a sanitizer
  # build would otherwise shadow every byte of a store of many GiB).
  echo "fuzz: $target for ${seconds}s"
  status=0
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:max_allocation_size_mb=1024 \
    UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/bin/fuzz_$target" "${inputs[@]}" -max_total_time="$seconds" -max_len=65536 -timeout=20 \
    -rss_limit_mb=2048 -artifact_prefix="$findings/" -print_final_stats=1 \
    >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  cov=$(grep -Eo '(cov|ft): [0-9]+' "$log" | tail -n 2 | tr '\n' ' ')
  line="$target: status $status, ${runs:-?} executions, ${cov:-no coverage line}, corpus $(find "$corpus" -type f | wc -l)"
  echo "$line" | tee -a "$summary"
  if [ "$status" != 0 ]; then
    failed=1
    echo "--- $target found something (inputs in $findings/):"
    grep -E -A 12 'ERROR|fuzz finding|runtime error|deadly signal' "$log" | head -n 40 || tail -n 40 "$log"
  fi
done
echo "fuzz: summary in $summary"
exit $failed
