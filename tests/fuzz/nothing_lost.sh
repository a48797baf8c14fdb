#!/usr/bin/env bash
# Files a run has no business changing survive it byte for byte, whether the run
# ends normally, is refused, or faults half-way: the result file, WORK.LST, the
# point file, the graph data file, AVS.tmp when it is named as the output, the
# CSV files of empty lists, and every CSV file when the extractor faults before
# the end of its step loop.
#
# usage: nothing_lost.sh BIN_DIR     (BIN_DIR holds postconv, timehist, resultgen)
set -u
bin=$(cd "$1" && pwd)
source "$(dirname "$0")/../programs.sh"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failed=0
cases=0

# A fresh run directory with a result file RES.BIN of three steps, WORK.LST
# naming it, a point file and old CSV files of an earlier run.
fresh() {
  cases=$((cases + 1))
  dir=$root/$cases
  mkdir -p "$dir"
  (cd "$dir" && program resultgen sample --nx 4 --ny 3 --steps 3 --out RES.BIN --worklst 2>/dev/null)
  printf '3\r\n5.0 4.0\r\n12.5,9.0\r\n-1 -1\r\n' >"$dir/PTS.DAT"
  for csv in GHTIME.CSV GQTIME.csv GVDTIME.csv GVATIME.csv; do
    printf 'old %s of an earlier run\r\n' "$csv" >"$dir/$csv"
  done
}

# Cuts RES.BIN by `bytes` at its end.
cut_result() {
  local size
  size=$(stat -c %s "$dir/RES.BIN")
  truncate -s $((size - $1)) "$dir/RES.BIN"
}

# check NAME PROGRAM STATUS ANSWERS FILE...: runs PROGRAM in the run directory
# with ANSWERS (printf escapes) on standard input, expects exit status STATUS,
# and every FILE exactly as it was before the run.
check() {
  local name=$1 program=$2 want=$3 answers=$4
  shift 4
  local sums status
  sums=$(cd "$dir" && sha256sum "$@")
  (cd "$dir" && printf "$answers" | program "$program" >/dev/null 2>"$dir/.stderr")
  status=$?
  if [ "$status" != "$want" ]; then
    echo "FAIL $name: exit status $status, expected $want"
    head -n 3 "$dir/.stderr"
    failed=1
  fi
  if ! (cd "$dir" && echo "$sums" | sha256sum --quiet --strict -c - >/dev/null 2>&1); then
    echo "FAIL $name: changed:"
    (cd "$dir" && echo "$sums" | sha256sum -c - 2>&1 | grep -v ': OK$')
    failed=1
  fi
}

inputs=(RES.BIN WORK.LST PTS.DAT)
csvs=(GHTIME.CSV GQTIME.csv GVDTIME.csv GVATIME.csv)

# --- postconv: output names that are the run's inputs are refused ---------------
for name in RES.BIN ./RES.BIN LINK.BIN; do
  fresh
  ln "$dir/RES.BIN" "$dir/LINK.BIN"
  check "output named $name, the result file" postconv 2 "0\n1\nRES.BIN\n0\n2\n$name\n-1\n" RES.BIN LINK.BIN
done
for source in '0\n' '1\nRES.BIN\n'; do
  for name in WORK.LST ./WORK.LST; do
    fresh
    check "output named $name (source $source)" postconv 2 "0\n${source}0\n1\n$name\n-1\n" "${inputs[@]}"
  done
done
fresh
printf 'scratch of an earlier run\r\n' >"$dir/AVS.tmp"
check "MicroAVS output named AVS.tmp" postconv 2 "0\n0\n0\n4\nAVS.tmp\n-1\n" AVS.tmp "${inputs[@]}"
# The scratch file of MicroAVS is emptied when it is opened: never over an input.
fresh
mv "$dir/RES.BIN" "$dir/AVS.tmp"
check "MicroAVS with the result file named AVS.tmp" postconv 2 "0\n1\nAVS.tmp\n0\n4\nOUT.TXT\n-1\n" AVS.tmp \
  WORK.LST
fresh
ln "$dir/WORK.LST" "$dir/AVS.tmp"
check "MicroAVS with WORK.LST linked as AVS.tmp" postconv 2 "0\n0\n0\n4\nOUT.TXT\n-1\n" "${inputs[@]}"
fresh
check "INTERP output named as the point file" postconv 2 "0\n0\n0\n6\nPTS.DAT\nPTS.DAT\n-1\n" "${inputs[@]}"

# --- postconv: every output kind, run to the end and cut in the step loop ----------
for menu in 1 2 3 4 5 6 7; do
  points=""
  [ $menu = 6 ] && points='PTS.DAT\n'
  fresh
  check "menu $menu, whole run" postconv 0 "0\n0\n0\n$menu\nOUT.TXT\n$points-1\n" "${inputs[@]}"
  fresh
  cut_result 30
  check "menu $menu, result file cut in the last step" postconv 2 "0\n0\n0\n$menu\nOUT.TXT\n$points-1\n" \
    "${inputs[@]}"
done

# --- timehist ------------------------------------------------------------------
all_lists='    0    0    0    0    0\r\n    2\r\n      1     12\r\n    1\r\n      5\r\n    1\r\n      3\r\n    2\r\n      1      6\r\n'
h_only='    0\r\n    2\r\n      1     12\r\n    0\r\n    0\r\n    0\r\n'

fresh
printf "$all_lists" >"$dir/GRAPH.DAT"
check "extractor, whole run" timehist 0 '0\nGRAPH.DAT\n' RES.BIN WORK.LST GRAPH.DAT
fresh
printf "$h_only" >"$dir/GRAPH.DAT"
check "extractor, CSV files of empty lists" timehist 0 '0\nGRAPH.DAT\n' RES.BIN WORK.LST GRAPH.DAT \
  GQTIME.csv GVDTIME.csv GVATIME.csv
for cut in 30 700 2000; do
  fresh
  cut_result $cut
  printf "$all_lists" >"$dir/GRAPH.DAT"
  check "extractor, result file cut $cut bytes short" timehist 2 '1\nRES.BIN\nGRAPH.DAT\n' RES.BIN GRAPH.DAT \
    "${csvs[@]}"
done
fresh
printf '    0\r\n    2\r\n      1\r\n' >"$dir/GRAPH.DAT"
check "extractor, graph data file cut short" timehist 2 '1\nRES.BIN\nGRAPH.DAT\n' RES.BIN GRAPH.DAT "${csvs[@]}"
fresh
printf '    0\r\n    2\r\n      1      x\r\n    0\r\n    0\r\n    0\r\n' >"$dir/GRAPH.DAT"
check "extractor, graph data file not numeric" timehist 2 '1\nRES.BIN\nGRAPH.DAT\n' RES.BIN GRAPH.DAT "${csvs[@]}"
fresh
printf '99999999999999999999999999\r\n    1\r\n      1\r\n    0\r\n    0\r\n    0\r\n' >"$dir/GRAPH.DAT"
ASAN_OPTIONS=${ASAN_OPTIONS:-}:allocator_may_return_null=1:max_allocation_size_mb=1024 \
  check "extractor, capacities beyond memory" timehist 2 '1\nRES.BIN\nGRAPH.DAT\n' RES.BIN GRAPH.DAT "${csvs[@]}"

# An input that bears the name of a CSV file of a non-empty list is refused.
fresh
printf "$h_only" >"$dir/GHTIME.CSV"
check "extractor, graph data file named GHTIME.CSV" timehist 2 '1\nRES.BIN\nGHTIME.CSV\n' RES.BIN GHTIME.CSV
fresh
mv "$dir/RES.BIN" "$dir/GQTIME.csv"
printf "$all_lists" >"$dir/GRAPH.DAT"
check "extractor, result file named GQTIME.csv" timehist 2 '1\nGQTIME.csv\nGRAPH.DAT\n' GQTIME.csv GRAPH.DAT
fresh
rm "$dir/GVDTIME.csv"
ln "$dir/WORK.LST" "$dir/GVDTIME.csv"
printf "$all_lists" >"$dir/GRAPH.DAT"
check "extractor, WORK.LST linked as GVDTIME.csv" timehist 2 '0\nGRAPH.DAT\n' WORK.LST RES.BIN GRAPH.DAT

if [ $failed = 0 ]; then echo "nothing lost: $cases runs, every protected file unchanged"; fi
exit $failed
