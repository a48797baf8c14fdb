#!/usr/bin/env bash
# A run from the command line leaves the files, the diagnostic and the exit
# status of the dialogue run with the same choices: every output kind, the
# extractor, the refused names and the faults. Each case runs both ways in
# fresh copies of one directory and compares everything left in them. (Where
# the command line answers a mistake better, mistakes.sh checks it: a step no
# block carries, a missing point or graph data file, the line after a fault's
# diagnostic, the warning of INTERP points outside the mesh.)
#
# usage: same_as_dialogue.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
source "$(dirname "$0")/../programs.sh"
enter_scratch

# The inputs every case starts from. The mesh has a few inactive elements and
# triangles; steps are numbered 1..3.
mkdir "$work/inputs"
cd "$work/inputs"
program resultgen sample --nx 12 --ny 9 --steps 3 --out RUN.RES --worklst 2>/dev/null
printf '3\r\n15.5 12.0\r\n40,30\r\n60 40\r\n' >POINTS.DAT
printf '    0    0    0    0    0\r\n    2\r\n      1     50\r\n    1\r\n      7\r\n    1\r\n     10\r\n    1\r\n     20\r\n' >GRAPH.DAT
mkdir out.dir sub

# compare LABEL PROGRAM ANSWERS ARGS...: runs the dialogue with ANSWERS and the
# command line with ARGS, each in a fresh copy of the inputs.
compare() {
  local label=$1 program=$2 answers=$3
  shift 3
  rm -rf "$work/dialogue" "$work/command"
  cp -a "$work/inputs" "$work/dialogue"
  cp -a "$work/inputs" "$work/command"
  (cd "$work/dialogue" && printf "$answers" | program "$program" >/dev/null 2>../dialogue.err; echo $? >../dialogue.status)
  (cd "$work/command" && program "$program" "$@" >/dev/null 2>../command.err </dev/null; echo $? >../command.status)
  cmp -s "$work/dialogue.status" "$work/command.status" ||
    fail "$label: status $(cat "$work/command.status"), the dialogue's $(cat "$work/dialogue.status")"
  cmp -s "$work/dialogue.err" "$work/command.err" ||
    fail "$label: standard error '$(cat "$work/command.err")', the dialogue's '$(cat "$work/dialogue.err")'"
  diff -r "$work/dialogue" "$work/command" >/dev/null || fail "$label: files differ: $(diff -rq "$work/dialogue" "$work/command")"
}

# Menu numbers: 1 restart, 2 tecplot, 3 femap, 4 microavs, 5 rxview, 6 interp.
# Dialogue answers: banner 0, typed name 1, RUN.RES, totals 0, menu, output, [points,] step.
compare restart postconv '0\n1\nRUN.RES\n0\n1\nout.dat\n-1\n' RUN.RES --kind restart -o out.dat
compare tecplot postconv '0\n1\nRUN.RES\n0\n2\nout.dat\n-1\n' RUN.RES --kind tecplot -o out.dat --step all
# A kind may be given by its menu number or in any letter case.
compare femap postconv '0\n1\nRUN.RES\n0\n3\nout.dat\n2\n' RUN.RES --kind 3 -o out.dat --step 2
compare microavs postconv '0\n1\nRUN.RES\n0\n4\nout.dat\n-1\n' RUN.RES --kind microavs -o out.dat
compare rxview postconv '0\n1\nRUN.RES\n0\n5\nout.dat\n0\n' RUN.RES --kind rxVIEW -o out.dat --step last
compare interp postconv '0\n1\nRUN.RES\n0\n6\nout.dat\nPOINTS.DAT\n-1\n' RUN.RES --kind interp -o out.dat --points POINTS.DAT
compare timehist timehist '1\nRUN.RES\nGRAPH.DAT\n' RUN.RES GRAPH.DAT
compare "output is the result file" postconv '0\n1\nRUN.RES\n0\n2\n./RUN.RES\n-1\n' RUN.RES --kind tecplot -o ./RUN.RES
compare "output is WORK.LST" postconv '0\n1\nRUN.RES\n0\n1\nWORK.LST\n-1\n' RUN.RES --kind restart -o WORK.LST
compare "output is the point file" postconv '0\n1\nRUN.RES\n0\n6\nPOINTS.DAT\nPOINTS.DAT\n-1\n' RUN.RES --kind interp -o POINTS.DAT --points POINTS.DAT
compare "output is AVS.tmp" postconv '0\n1\nRUN.RES\n0\n4\nAVS.tmp\n-1\n' RUN.RES --kind microavs -o AVS.tmp
compare "missing result file" postconv '0\n1\nNONE.RES\n' NONE.RES --kind restart -o out.dat
compare "output is a folder" postconv '0\n1\nRUN.RES\n0\n2\nout.dir\n-1\n' RUN.RES --kind tecplot -o out.dir
compare "output in a missing folder" postconv '0\n1\nRUN.RES\n0\n2\nnone/out.dat\n-1\n' RUN.RES --kind tecplot -o none/out.dat
cp "$work/inputs/GRAPH.DAT" "$work/inputs/GHTIME.CSV"
compare "CSV over the graph data file" timehist '1\nRUN.RES\nGHTIME.CSV\n' RUN.RES GHTIME.CSV
mkdir "$work/inputs/GVDTIME.csv"
compare "a CSV name that is a folder" timehist '1\nRUN.RES\nGRAPH.DAT\n' RUN.RES GRAPH.DAT
rm -r "$work/inputs/GVDTIME.csv" "$work/inputs/GHTIME.CSV"

# Names of any length and in other folders: the same bytes as the dialogue's
# short names.
long=sub/a_name_longer_than_twenty_characters
for kind in restart:1 microavs:4; do
  rm -rf "$work/dialogue" "$work/command"
  cp -a "$work/inputs" "$work/dialogue"
  cp -a "$work/inputs" "$work/command"
  (cd "$work/dialogue" && printf '0\n1\nRUN.RES\n0\n%s\nout.dat\n-1\n' "${kind#*:}" | program postconv >/dev/null)
  mv "$work/command/RUN.RES" "$work/command/$long.RES"
  (cd "$work/command" && program postconv "$long.RES" --kind "${kind%:*}" -o "$long.out" >/dev/null)
  cmp -s "$work/dialogue/out.dat" "$work/command/$long.out" || fail "${kind%:*}: a long name in a folder gives other bytes"
done
rm -rf "$work/dialogue" "$work/command"
cp -a "$work/inputs" "$work/dialogue"
cp -a "$work/inputs" "$work/command"
(cd "$work/dialogue" && printf '1\nRUN.RES\nGRAPH.DAT\n' | program timehist >/dev/null)
(cd "$work/command/sub" && program timehist ../RUN.RES ../GRAPH.DAT -C ../out.dir >/dev/null)
for csv in GHTIME.CSV GQTIME.csv GVDTIME.csv GVATIME.csv; do
  cmp -s "$work/dialogue/$csv" "$work/command/out.dir/$csv" || fail "timehist -C: $csv differs"
done

finish "all cases give the dialogue's files, diagnostics and status"
