#!/usr/bin/env bash
# Throughput of whole runs: every converter output kind, all steps selected, on a
# result file near the capacity (about 44000 nodes and elements, 20 steps), and the
# extractor with full lists on a 4900-node file of 500 steps. Each run is timed
# next to a baseline that writes the same number of bytes from memory with the
# same buffering. Prints output MB, seconds, MB/s, the ratio to the baseline and
# the peak resident memory.
#
# usage: bench/throughput.sh [BUILD_DIR]     (default build/default; build it first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build/default}/bin" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$bin/resultgen" sample --nx 211 --ny 210 --steps 20 --split-every 100 --out BIG.RES 2>/dev/null
"$bin/resultgen" sample --nx 70 --ny 70 --steps 500 --split-every 0 --out HIST.RES 2>/dev/null

# 2222 points scattered over the big mesh for INTERP.
awk 'BEGIN { srand(5); print 2222; for (i = 0; i < 2222; i++) printf "%.4f %.4f\n", rand() * 2100, rand() * 1672 }' >POINTS.DAT

# Graph data file with every node and element of the 4900-node mesh in its lists.
"$root/tools/full_graph_data.sh" 500 4900 4761 >GRAPH.DAT

seconds() { date +%s.%N; }

# Each figure is the best of ROUNDS runs (default 3), each started with no dirty
# pages left by the one before (sync), so that a run does not pay for the
# writeback of the previous one and page-cache noise does not decide the ratio.
rounds=${ROUNDS:-3}

# best_time COMMAND...: the shortest wall time of the command over the rounds.
best_time() {
  local best="" t0 t1 i
  for ((i = 0; i < rounds; i++)); do
    sync
    t0=$(seconds)
    "$@"
    t1=$(seconds)
    best=$(awk -v a="$best" -v d="$(awk -v x="$t0" -v y="$t1" 'BEGIN { print y - x }')" \
      'BEGIN { print (a == "" || d < a) ? d : a }')
  done
  echo "$best"
}

# run LABEL OUTPUT_FILES PROGRAM ANSWERS
printf '%-10s %9s %9s %9s %9s %9s %9s\n' kind MB seconds MB/s base_s ratio peak_MB
run() {
  local label=$1 output=$2 program=$3 answers=$4
  convert() {
    rm -f $output AVS.tmp
    printf "$answers" | /usr/bin/time -f %M -o mem.txt "$bin/$program" >/dev/null
  }
  local s
  s=$(best_time convert)
  local bytes=0 lines=0 f
  for f in $output; do bytes=$((bytes + $(stat -c %s "$f"))); done
  for f in $output; do lines=$((lines + $(wc -l <"$f"))); done
  local base
  base=$(best_time "$bin/bytes_baseline" baseline.out "$bytes" $((bytes / (lines > 0 ? lines : 1))))
  rm -f baseline.out
  awk -v l="$label" -v b="$bytes" -v s="$s" -v base="$base" -v m="$(cat mem.txt)" 'BEGIN {
    mb = b / 1e6
    printf "%-10s %9.1f %9.3f %9.1f %9.3f %9.2f %9.1f\n", l, mb, s, mb / s, base, s / base, m / 1024 }'
}

run restart  out.res  postconv '0\n1\nBIG.RES\n0\n1\nout.res\n-1\n'
run tecplot  out.plt  postconv '0\n1\nBIG.RES\n0\n2\nout.plt\n-1\n'
run femap    out.neu  postconv '0\n1\nBIG.RES\n0\n3\nout.neu\n-1\n'
run microavs out.inp  postconv '0\n1\nBIG.RES\n0\n4\nout.inp\n-1\n'
run rxview   out.rx   postconv '0\n1\nBIG.RES\n0\n5\nout.rx\n-1\n'
run interp   out.int  postconv '0\n1\nBIG.RES\n0\n6\nout.int\nPOINTS.DAT\n-1\n'
run timehist 'GHTIME.CSV GQTIME.csv GVDTIME.csv GVATIME.csv' timehist '1\nHIST.RES\nGRAPH.DAT\n'
