#!/usr/bin/env bash
# The output of runs long enough to share their lines between two threads is
# byte for byte the output of the same runs on one thread (GWPOST_THREADS=1):
# every converter output kind (the converter reading each step block while it
# writes the one before), and the extractor's four CSV files.
#
# usage: shared_rendering.sh BIN_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(cd "$1" && pwd)
source "$(dirname "$0")/../programs.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

program resultgen sample --nx 100 --ny 90 --steps 3 --split-every 7 --out MESH.RES 2>/dev/null
program resultgen sample --nx 30 --ny 30 --steps 400 --split-every 0 --out HIST.RES 2>/dev/null
awk 'BEGIN { srand(3); print 40; for (i = 0; i < 40; i++) printf "%.4f %.4f\n", rand() * 990, rand() * 890 }' >POINTS.DAT
"$root/tools/full_graph_data.sh" 400 900 841 >GRAPH.DAT

failures=0
# compare LABEL PROGRAM ANSWERS FILES...
compare() {
  local label=$1 program=$2 answers=$3
  shift 3
  local f
  rm -f "$@" AVS.tmp
  printf "$answers" | GWPOST_THREADS=1 program "$program" >one.stdout
  for f in "$@"; do mv "$f" "one.$f"; done
  rm -f AVS.tmp
  printf "$answers" | program "$program" >two.stdout
  cmp -s one.stdout two.stdout || { echo "$label: console output differs"; failures=$((failures + 1)); }
  for f in "$@"; do
    cmp "one.$f" "$f" || { echo "$label: $f differs"; failures=$((failures + 1)); }
  done
}

compare restart postconv '0\n1\nMESH.RES\n0\n1\nout.res\n-1\n' out.res
compare tecplot postconv '0\n1\nMESH.RES\n0\n2\nout.plt\n-1\n' out.plt
compare femap postconv '0\n1\nMESH.RES\n0\n3\nout.neu\n-1\n' out.neu
compare microavs postconv '0\n1\nMESH.RES\n0\n4\nout.inp\n-1\n' out.inp
compare rxview postconv '0\n1\nMESH.RES\n0\n5\nout.rx\n-1\n' out.rx
compare interp postconv '0\n1\nMESH.RES\n0\n6\nout.int\nPOINTS.DAT\n-1\n' out.int
compare timehist timehist '1\nHIST.RES\nGRAPH.DAT\n' GHTIME.CSV GQTIME.csv GVDTIME.csv GVATIME.csv
exit $((failures > 0))
