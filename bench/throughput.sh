#!/usr/bin/env bash
# Throughput of whole runs: every converter output kind, all steps selected, on a
# result file near the capacity (about 44000 nodes and elements, 20 steps), and the
# extractor with full lists on a 4900-node file of 500 steps. Each run is timed
# next to a baseline that writes the same number of bytes from memory with the
# same buffering. Prints output MB, seconds, MB/s, the ratio to the baseline, the
# peak resident memory and the page faults.
#
# Then the fixed cost of reading: runs that read a whole result file and write
# little (a step number that no block carries, INTERP at 2222 points, restart
# data of a 3-step file), each next to `cat FILE > /dev/null` of the same file.
#
# usage: bench/throughput.sh [BUILD_DIR]     (default build/default; build it first)
set -euo pipefail
export LC_ALL=C  # a decimal point in the clock readings
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build/default}/bin" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$bin/resultgen" sample --nx 211 --ny 210 --steps 20 --split-every 100 --out BIG.RES 2>/dev/null
"$bin/resultgen" sample --nx 70 --ny 70 --steps 500 --split-every 0 --out HIST.RES 2>/dev/null
# The size engineers make most often: 40401 nodes, 44000 elements, 3 steps (8.3 MB).
"$bin/resultgen" sample --nx 201 --ny 201 --steps 3 --split-every 10 --out STEPS3.RES 2>/dev/null

# 2222 points scattered over each mesh for INTERP.
points() {
  awk -v w="$1" -v h="$2" 'BEGIN { srand(5); print 2222; for (i = 0; i < 2222; i++) printf "%.4f %.4f\n", rand() * w, rand() * h }'
}
points 2100 1672 >POINTS.DAT
points 2000 1600 >POINTS3.DAT

# Graph data file with every node and element of the 4900-node mesh in its lists.
"$root/tools/full_graph_data.sh" 500 4900 4761 >GRAPH.DAT

# A run's bytes are those of every file it leaves: for MicroAVS the output and
# the scratch file AVS.tmp, which stays on disk with the step sections.

# Each figure is the best of ROUNDS runs (default 3), each started with no dirty
# pages left by the one before (sync), so that a run does not pay for the
# writeback of the previous one and page-cache noise does not decide the ratio;
# a run and its baseline take turns.
rounds=${ROUNDS:-3}

# best_time COMMAND...: the shortest wall time of the command over the rounds
# (the clock is read without starting a process, so short runs are not inflated).
best_time() {
  local best="" t0 t1 i
  for ((i = 0; i < rounds; i++)); do
    sync
    t0=$EPOCHREALTIME
    "$@"
    t1=$EPOCHREALTIME
    best=$(awk -v a="$best" -v x="$t0" -v y="$t1" 'BEGIN { d = y - x; print (a == "" || d < a) ? d : a }')
  done
  echo "$best"
}

# measure_memory RUN: the peak resident MB and the page faults of one more run;
# RUN is a function that runs its program behind the words it is given.
measure_memory() {
  "$1" /usr/bin/time -f '%M %R' -o mem.txt
  awk '{ printf "%.1f %d", $1 / 1024, $2 }' mem.txt
}

# run LABEL OUTPUT_FILES PROGRAM ANSWERS
printf '%-10s %9s %9s %9s %9s %9s %9s %9s\n' kind MB seconds MB/s base_s ratio peak_MB faults
run() {
  local label=$1 output=$2 program=$3 answers=$4
  printf "$answers" >answers.txt
  # Each run starts with no output file; removing one is not timed.
  convert() { "$@" "$bin/$program" <answers.txt >/dev/null; }
  local memory
  rm -f $output AVS.tmp
  memory=$(measure_memory convert)
  local bytes=0 lines=0 f
  for f in $output; do bytes=$((bytes + $(stat -c %s "$f"))); done
  for f in $output; do lines=$((lines + $(wc -l <"$f"))); done
  baseline() { "$bin/bytes_baseline" baseline.out "$bytes" $((bytes / (lines > 0 ? lines : 1))); }
  # The run and its baseline take turns, round by round, so that both meet the
  # same state of the machine and its page cache.
  local s="" base="" i t
  for ((i = 0; i < rounds; i++)); do
    rm -f $output AVS.tmp
    t=$(rounds=1 best_time convert)
    s=$(awk -v a="$s" -v t="$t" 'BEGIN { print (a == "" || t < a) ? t : a }')
    rm -f baseline.out
    t=$(rounds=1 best_time baseline)
    base=$(awk -v a="$base" -v t="$t" 'BEGIN { print (a == "" || t < a) ? t : a }')
  done
  rm -f baseline.out
  awk -v l="$label" -v b="$bytes" -v s="$s" -v base="$base" -v m="$memory" 'BEGIN {
    mb = b / 1e6
    split(m, pm, " ")
    printf "%-10s %9.1f %9.4f %9.1f %9.4f %9.2f %9.1f %9d\n", l, mb, s, mb / s, base, s / base, pm[1], pm[2] }'
}

run restart  out.res  postconv '0\n1\nBIG.RES\n0\n1\nout.res\n-1\n'
run tecplot  out.plt  postconv '0\n1\nBIG.RES\n0\n2\nout.plt\n-1\n'
run femap    out.neu  postconv '0\n1\nBIG.RES\n0\n3\nout.neu\n-1\n'
run microavs 'out.inp AVS.tmp' postconv '0\n1\nBIG.RES\n0\n4\nout.inp\n-1\n'
run rxview   out.rx   postconv '0\n1\nBIG.RES\n0\n5\nout.rx\n-1\n'
run interp   out.int  postconv '0\n1\nBIG.RES\n0\n6\nout.int\nPOINTS.DAT\n-1\n'
run timehist 'GHTIME.CSV GQTIME.csv GVDTIME.csv GVATIME.csv' timehist '1\nHIST.RES\nGRAPH.DAT\n'

# fixed LABEL RESULT_FILE ANSWERS: a run next to cat of its result file; more
# rounds, since these runs are short.
echo
printf '%-10s %-10s %9s %9s %9s %9s %9s %9s\n' kind file file_MB seconds cat_s ratio peak_MB faults
fixed() {
  local label=$1 file=$2 answers=$3
  printf "$answers" >answers.txt
  read_run() { "$@" "$bin/postconv" <answers.txt >/dev/null; }
  read_file() { cat "$file" >/dev/null; }
  local s base memory rounds=${FIXED_ROUNDS:-15}
  s=$(best_time read_run)
  base=$(best_time read_file)
  memory=$(measure_memory read_run)
  awk -v l="$label" -v f="$file" -v b="$(stat -c %s "$file")" -v s="$s" -v base="$base" -v m="$memory" 'BEGIN {
    split(m, pm, " ")
    printf "%-10s %-10s %9.1f %9.4f %9.4f %9.2f %9.1f %9d\n", l, f, b / 1e6, s, base, s / base, pm[1], pm[2] }'
}

# A step number that no block carries: the whole file is read, nothing written.
fixed read-only BIG.RES '0\n1\nBIG.RES\n0\n1\nout.res\n999999\n'
fixed read-only STEPS3.RES '0\n1\nSTEPS3.RES\n0\n1\nout.res\n999999\n'
fixed interp STEPS3.RES '0\n1\nSTEPS3.RES\n0\n6\nout.int\nPOINTS3.DAT\n-1\n'
fixed restart STEPS3.RES '0\n1\nSTEPS3.RES\n0\n1\nout.res\n-1\n'
