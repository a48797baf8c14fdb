#!/usr/bin/env bash
# Runs the Linux and the Windows programs (the latter under wine) on the same
# generated result files with the same answers, and compares every file they
# leave, the console bytes, standard error and the exit status. A Windows run
# that ends with 1111 must match a Linux run that ends with 87 (Linux keeps
# only the low 8 bits of a status).
#
# Each run draws a result file from resultgen (mesh size, steps, seed,
# triangles), then a postconv run (every output kind, every step choice, the
# result file from WORK.LST or typed, sometimes unconfirmed, sometimes with a
# cut result file or a bad answer) or a timehist run (random lists, step
# capacities). Every tenth result file is also made by the Windows resultgen
# and compared.
#
# usage: tools/compare_windows.sh [RUNS] [SEED]     (default 50 runs, seed 1)
#   needs the default and windows builds (cmake --build --preset default / windows)
# Failing runs are kept in build/compare-windows/seed-SEED/fail-N for a look.
# Runs of other seeds may go on at the same time (most of a run's time is wine
# starting programs, not the processors).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-50}
seed=${2:-1}
RANDOM=$seed
linux=$root/build/default/bin
windows=$root/build/windows/bin
wine=$root/tools/wine_run.sh
for p in "$linux"/{postconv,timehist,resultgen} "$windows"/{postconv,timehist,resultgen,exit_status}.exe; do
  [ -x "$p" ] || { echo "compare_windows: $p is missing; build the default and windows presets first"; exit 2; }
done
out=$root/build/compare-windows/seed-$seed
rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/gen"

pick() { echo $((RANDOM % ($2 - $1 + 1) + $1)); }  # pick LOW HIGH

# A point file of `count` points around the generated meshes (some outside).
point_file() {
  awk -v n="$1" -v s="$RANDOM" 'BEGIN { srand(s); print n;
    for (i = 0; i < n; i++) printf (i % 3 ? "%.3f %.3f\r\n" : "%.2f,%.2f\r\n"), rand() * 1400 - 100, rand() * 1000 - 80 }'
}

# A list of `count` numbers from LOW to HIGH in the graph data file's layout:
# the count in columns 1-5, then ten 7-column numbers to a line.
graph_list() {
  local count=$1 low=$2 high=$3 k line=""
  printf '%5d\r\n' "$count"
  for ((k = 1; k <= count; k++)); do
    line+=$(printf '%7d' "$(pick "$low" "$high")")
    if ((k % 10 == 0 || k == count)); then
      printf '%s\r\n' "$line"
      line=""
    fi
  done
}

# Sets `program`, `answers` and the input files in $work/in for one run.
draw_run() {
  local nx ny steps nodes elements name source menu output step
  nx=$(pick 2 40) ny=$(pick 2 30) steps=$(pick 0 6)
  nodes=$((nx * ny)) elements=$(((nx - 1) * (ny - 1)))
  name=$(printf 'R%d.RES' "$(pick 1 99)")
  rm -rf "$work/in" && mkdir -p "$work/in"
  (cd "$work/in" && "$linux/resultgen" sample --nx "$nx" --ny "$ny" --steps "$steps" --seed "$(pick 1 9999)" \
    --split-every "$(pick 0 7)" --out "$name" --worklst 2>/dev/null)
  generated=""
  if ((run % 10 == 0)); then
    local sample=(sample --nx "$nx" --ny "$ny" --steps "$steps" --seed 5 --out)
    (cd "$work/gen" && "$linux/resultgen" "${sample[@]}" L.RES 2>/dev/null)
    if ! (cd "$work/gen" && "$wine" "$windows/resultgen.exe" "${sample[@]}" W.RES 2>gen.err >/dev/null); then
      generated=" resultgen did not run on Windows: $(head -c 300 "$work/gen/gen.err");"
    elif ! cmp -s "$work/gen/W.RES" "$work/gen/L.RES"; then
      generated=" resultgen wrote other bytes on Windows (--nx $nx --ny $ny --steps $steps --seed 5);"
    fi
    rm -f "$work/gen"/*
  fi
  case $(pick 0 19) in
    0) truncate -s "-$(pick 1 3000)" "$work/in/$name" 2>/dev/null ;;  # cut anywhere
    1) name=MISSING.RES ;;
  esac
  source='0\n'
  (($(pick 0 1))) && source="1\n$name\n"
  if (($(pick 0 3) == 0)); then
    program=timehist
    {
      printf '%5d%5d%5d%5d%5d\r\n' "$(pick 0 8)" 0 0 0 0
      graph_list "$(pick 0 12)" -2 $((nodes + 3))
      graph_list "$(pick 0 12)" 1 "$nodes"
      graph_list "$(pick 0 6)" 0 $((elements + 2))
      graph_list "$(pick 0 6)" 1 "$elements"
    } >"$work/in/GRAPH.DAT"
    answers="${source}GRAPH.DAT\n"
    return
  fi
  program=postconv
  menu=$(pick 1 6)
  output=$(printf 'OUT%d.TXT' "$menu")
  case $(pick 0 3) in
    0) step=-1 ;;
    1) step=0 ;;
    *) step=$(pick 1 $((steps + 1))) ;;
  esac
  local confirm=0
  (($(pick 0 24) == 0)) && confirm=1
  answers="0\n${source}${confirm}\n${menu}\n${output}\n"
  if ((menu == 6)); then
    point_file "$(pick 0 30)" >"$work/in/PTS.DAT"
    answers+='PTS.DAT\n'
  fi
  answers+="$step\n"
  (($(pick 0 29) == 0)) && answers="0\n${source}x\n"  # an answer that is no number
}

# Runs `program` in $work/$1 with the answers; leaves .stdout, .stderr, .status.
run_in() {
  local dir=$work/$1
  rm -rf "$dir" && cp -r "$work/in" "$dir"
  cd "$dir" || exit 2
  if [ "$1" = win ]; then
    printf "$answers" | "$wine" "$windows/exit_status.exe" .status "$windows/$program.exe" >.stdout 2>.stderr
  else
    printf "$answers" | "$linux/$program" >.stdout 2>.stderr
    echo $? >.status
  fi
  cd "$work" || exit 2
}

failed=0
for ((run = 1; run <= runs; run++)); do
  draw_run
  run_in lin
  run_in win
  problems=$generated
  lin_status=$(cat "$work/lin/.status") win_status=$(cat "$work/win/.status" 2>/dev/null || echo none)
  if [ "$win_status" != "$lin_status" ] && ! { [ "$win_status" = 1111 ] && [ "$lin_status" = 87 ]; }; then
    problems+=" status $lin_status on Linux, $win_status on Windows;"
  fi
  rm -f "$work/lin/.status" "$work/win/.status"
  [ "$(cd "$work/lin" && ls -A)" = "$(cd "$work/win" && ls -A)" ] || problems+=" other files;"
  for f in "$work"/lin/* "$work"/lin/.std*; do
    cmp -s "$f" "$work/win/${f##*/}" || problems+=" ${f##*/} differs;"
  done
  if [ -n "$problems" ]; then
    failed=$((failed + 1))
    echo "run $run ($program, answers $answers):$problems"
    mkdir -p "$out/fail-$run" && cp -r "$work/lin" "$work/win" "$out/fail-$run/"
    printf '%s\n' "$answers" >"$out/fail-$run/answers"
  fi
done
echo "compare_windows: $runs runs, $((runs - failed)) the same on Linux and Windows, $failed different"
[ "$failed" = 0 ]
