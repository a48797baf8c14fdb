#!/usr/bin/env bash
# An ordinary mistake on the command line gets a straight answer: a step that
# no block carries, or a file with no step, is refused with status 1 and
# nothing written; a point or graph data file that is not there is refused
# before anything is made; a fault in a file is followed by a line that says
# what it means, with the byte or the line; INTERP points in no active element
# are named in a warning; resultgen refuses a mesh the programs cannot hold;
# timehist says what it wrote.
#
# usage: mistakes.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
source "$(dirname "$0")/../programs.sh"
enter_scratch

# Steps 1..3 of a 12 x 9 mesh (108 nodes, 105 elements): the mesh part ends at
# byte 6956, each step block is 4716 bytes.
mkdir "$work/inputs"
cd "$work/inputs"
program resultgen sample --nx 12 --ny 9 --steps 3 --out RUN.RES 2>/dev/null
program resultgen sample --nx 12 --ny 9 --steps 0 --out MESH.RES 2>/dev/null
head -c 2000 RUN.RES >CUTMESH.RES
head -c 21004 RUN.RES >CUTSTEP.RES
printf 'title GAPS\nnode 0 0 0 0 0\nelem 1 1 1 1 1 0\nstep 1 1\nstep 2 2\nstep 3 3\nstep 7 7\nstep 9 9\n' >gaps.txt
program resultgen text gaps.txt GAPS.RES
printf 'These are notes, not a result file.\r\n' >NOTES.TXT
printf '3\r\n15.5 12.0\r\n40,3x0\r\n' >BADPOINT.DAT
printf '3\r\n15.5 12.0\r\n' >SHORTPOINT.DAT
# In the mesh, far outside it, and inside an inactive element only (element 1).
printf '4\r\n15.5 12.0\r\n-5 -5\r\n1 1\r\n1000,1000\r\n' >POINTS.DAT
printf '    0    0    0    0    0\r\n    2\r\n      1     50\r\n    1\r\n      7\r\n    0\r\n    1\r\n     20\r\n' >GRAPH.DAT
printf '    0    0    0    0    0\r\n    2\r\n      1  x  50\r\n' >BADGRAPH.DAT
printf '    0    0    0    0    0\r\n    2\r\n      1     50\r\n' >SHORTGRAPH.DAT
printf 'an earlier output\r\n' >keep.out
printf 'an earlier scratch file\r\n' >AVS.tmp

# run PROGRAM ARGS...: runs in a fresh copy of the inputs; sets status, err
# (standard error, CR LF lines as LF), out and `unchanged` (yes when every file
# is as it was and none was added).
run() {
  rm -rf "$work/run" && cp -a "$work/inputs" "$work/run" && cd "$work/run" || exit 2
  local before
  before=$(ls -lA --time-style=+%s.%N; md5sum ./*)
  program "$@" >../out.txt 2>../err.txt </dev/null
  status=$?
  [ "$1" != resultgen ] && grep -qv $'\r$' ../err.txt && fail "$*: a line of standard error does not end with CR LF"
  err=$(tr -d '\r' <../err.txt)
  out=$(tr -d '\r' <../out.txt)
  unchanged=no
  [ "$(ls -lA --time-style=+%s.%N; md5sum ./*)" = "$before" ] && unchanged=yes
  cd "$work" || exit 2
}

# expect LABEL STATUS UNCHANGED STDERR: the outcome of the last run.
expect() {
  [ "$status" = "$2" ] || fail "$1: status $status, expected $2"
  [ "$unchanged" = "$3" ] || fail "$1: files unchanged: $unchanged, expected $3"
  [ "$err" = "$4" ] || fail "$1: standard error '$err', expected '$4'"
}

for kind in restart tecplot femap microavs rxview; do
  run postconv RUN.RES --kind "$kind" -o keep.out --step 99
  expect "$kind, no such step" 1 yes "postconv: no step numbered 99 in RUN.RES (it holds steps 1 to 3); nothing written"
done
run postconv RUN.RES --kind tecplot -o new.out --step 4
expect "no such step, new output" 1 yes "postconv: no step numbered 4 in RUN.RES (it holds steps 1 to 3); nothing written"
run postconv GAPS.RES --kind restart -o keep.out --step 5
expect "steps with gaps" 1 yes "postconv: no step numbered 5 in GAPS.RES (it holds steps 1 to 3, 7 and 9); nothing written"
run postconv MESH.RES --kind femap -o keep.out
expect "no step at all" 1 yes "postconv: MESH.RES holds no time step; nothing written"

run postconv RUN.RES --kind interp -o keep.out --points NONE.DAT
expect "missing point file" 2 yes "postconv: severe (1): file not found, unit 11, file NONE.DAT"
run timehist RUN.RES NONE.DAT
expect "missing graph data file" 2 yes "timehist: severe (1): file not found, unit 9, file NONE.DAT"

# Faults: the diagnostic, then what it means.
nl=$'\n'
run postconv NOTES.TXT --kind tecplot -o new.out
expect "not a result file" 2 yes "postconv: severe (2): end-of-file during read, unit 10, file NOTES.TXT${nl}postconv: NOTES.TXT is not a result file of the solver: its first record, at byte 0, is not an 80-character title"
run postconv CUTMESH.RES --kind tecplot -o new.out
expect "cut in the mesh part" 2 yes "postconv: severe (2): end-of-file during read, unit 10, file CUTMESH.RES${nl}postconv: CUTMESH.RES is not a result file of the solver, or was cut short before its first step: in its mesh part, its node record at byte 100 is cut off (the file has 2000 bytes)"
run timehist CUTSTEP.RES GRAPH.DAT
expect "cut in a step" 2 yes "timehist: severe (2): end-of-file during read, unit 7, file CUTSTEP.RES${nl}timehist: CUTSTEP.RES was cut short: it ends inside step 3 (step block 3): its element results record at byte 18576 is cut off (the file has 21004 bytes)"
run postconv RUN.RES --kind interp -o keep.out --points BADPOINT.DAT
expect "point file not numeric" 2 yes "postconv: severe (3): input conversion error, unit 11, file BADPOINT.DAT${nl}postconv: line 3 of BADPOINT.DAT is not point 2 as two numbers (x y or x,y): '40,3x0'"
run postconv RUN.RES --kind interp -o keep.out --points SHORTPOINT.DAT
expect "point file cut short" 2 yes "postconv: severe (2): end-of-file during read, unit 11, file SHORTPOINT.DAT${nl}postconv: SHORTPOINT.DAT ends after line 2 with 1 of the 3 points its first line gives"
run timehist RUN.RES BADGRAPH.DAT
expect "graph data not numeric" 2 yes "timehist: severe (3): input conversion error, unit 9, file BADGRAPH.DAT${nl}timehist: line 3 of BADGRAPH.DAT should give the entries of the H list from entry 1 on (2 in all), in fields of 7 columns: '      1  x  50'"
run timehist RUN.RES SHORTGRAPH.DAT
expect "graph data cut short" 2 yes "timehist: severe (2): end-of-file during read, unit 9, file SHORTGRAPH.DAT${nl}timehist: SHORTGRAPH.DAT ends after line 3, before the count of the Q list"

# INTERP: the dialogue's bytes, and a warning naming the points in no active element.
run postconv RUN.RES --kind interp -o new.out --points POINTS.DAT
expect "points outside" 0 no "postconv: warning: 3 of 4 points lie outside every active element: point 2 at (-5, -5), outside the mesh (head 0); point 3 at (1, 1), in inactive element 1; point 4 at (1000, 1000), outside the mesh (head 0)"
(cd "$work/inputs" && printf '0\n1\nRUN.RES\n0\n6\ndialogue.out\nPOINTS.DAT\n-1\n' | program postconv >/dev/null 2>&1)
cmp -s "$work/run/new.out" "$work/inputs/dialogue.out" || fail "INTERP from the command line: other bytes than the dialogue's"
rm -f "$work/inputs/dialogue.out"

# timehist: one line per CSV file written, with its size; the dialogue is silent about it.
run timehist RUN.RES GRAPH.DAT
expect "timehist" 0 no ""
for csv in GHTIME.CSV GQTIME.csv GVATIME.csv; do
  [[ $out == *"  wrote $csv ($(stat -c %s "$work/run/$csv") bytes, 3 steps)"* ]] || fail "timehist does not say it wrote $csv: $out"
done
[[ $out == *GVDTIME* ]] && fail "timehist reports GVDTIME.csv, whose list is empty"
(cd "$work/run" && printf '1\nRUN.RES\nGRAPH.DAT\n' | program timehist | grep -q wrote) && fail "the timehist dialogue reports its files"

# resultgen: a mesh above the capacity only when asked for.
run resultgen sample --nx 200 --ny 200 --steps 0 --out BIG.RES
expect "resultgen over the capacity" 2 yes "resultgen: --nx 200 --ny 200 makes 40000 nodes and 47521 elements, more than the 44444 the programs hold; nothing written (--allow-over-capacity writes it)"
run resultgen sample --nx 200 --ny 200 --steps 0 --out BIG.RES --allow-over-capacity
[ "$status" = 0 ] && [ -s "$work/run/BIG.RES" ] || fail "resultgen --allow-over-capacity: status $status"
run resultgen --help
[[ $out == *"44444"*"193 x 193"* ]] || fail "resultgen --help does not say which sizes fit"

finish "every mistake is refused or explained on the command line"
