#!/usr/bin/env bash
# File names as the system takes them: a run again in the same folder over the
# outputs of the last one, names typed in code page 932 (表, whose second byte
# is 0x5C, the byte of '\'), and, on Windows, names that differ from an input
# only in letter case or by a leading .\ , which name that input and are refused.
#
# usage: same_file.sh BIN_DIR     (BIN_DIR holds postconv, timehist, postvtk, resultgen)
set -u
bin=$(cd "$1" && pwd)
source "$(dirname "$0")/../programs.sh"
enter_scratch

# expect NAME PROGRAM STATUS STDERR ANSWERS [PROTECTED...]: runs PROGRAM with
# ANSWERS (printf escapes); checks its status, its whole standard error (one
# line, CR LF added here) and that every PROTECTED file is unchanged.
expect() {
  local name=$1 prog=$2 want=$3 stderr=$4 answers=$5
  shift 5
  local sums status
  sums=$(sha256sum "$@" 2>/dev/null)
  printf "$answers" | program "$prog" >.stdout 2>.stderr
  status=$?
  [ "$status" = "$want" ] || fail "$name: exit status $status, expected $want: $(cat .stderr)"
  if [ -n "$stderr" ]; then
    [ "$(cat .stderr)" = "$stderr"$'\r' ] || fail "$name: standard error '$(cat -A .stderr)', expected '$stderr'"
  else
    [ ! -s .stderr ] || fail "$name: unexpected standard error $(cat .stderr)"
  fi
  [ $# = 0 ] || echo "$sums" | sha256sum --quiet --strict -c - >/dev/null 2>&1 || fail "$name: changed one of $*"
}

program resultgen sample --nx 5 --ny 4 --steps 3 --out RES.BIN --worklst 2>/dev/null
printf '2\r\n5.0 4.0\r\n12.5,9.0\r\n' >PTS.DAT
graph='    0\r\n    2\r\n      1     12\r\n    1\r\n      5\r\n    1\r\n      3\r\n    1\r\n      2\r\n'
printf "$graph" >GRAPH.DAT

# --- a second run in the same folder writes over the outputs of the first
for round in 1 2; do
  expect "TECPLOT, run $round" postconv 0 "" '0\n0\n0\n2\nOUT.TXT\n-1\n'
  cp OUT.TXT "tecplot.$round"
  expect "INTERP, run $round" postconv 0 "" '0\n0\n0\n6\nINTERP.TXT\nPTS.DAT\n-1\n' PTS.DAT
  cp INTERP.TXT "interp.$round"
  expect "MicroAVS, run $round" postconv 0 "" '0\n0\n0\n4\nAVS.OUT\n-1\n' RES.BIN
  expect "timehist, run $round" timehist 0 "" '0\nGRAPH.DAT\n' GRAPH.DAT
  cp GHTIME.CSV "ghtime.$round"
  program postvtk RES.BIN -o vtk >/dev/null 2>.stderr || fail "postvtk, run $round: $(cat .stderr)"
done
cmp -s tecplot.1 tecplot.2 || fail "the second TECPLOT run wrote other bytes"
cmp -s interp.1 interp.2 || fail "the second INTERP run wrote other bytes"
cmp -s ghtime.1 ghtime.2 || fail "the second timehist run wrote other bytes"

# --- names in code page 932: found, converted and refused like any other
table='\x95\x5c'  # 表
cp RES.BIN "$(on_disk "$table.RES")"
cp PTS.DAT "$(on_disk "$table.DAT")"
expect "result file $table.RES" postconv 0 "" "0\n1\n$table.RES\n0\n2\nOUT.TXT\n-1\n" "$(on_disk "$table.RES")"
cmp -s OUT.TXT tecplot.1 || fail "the result file named in code page 932 gave other bytes"
expect "point file $table.DAT" postconv 0 "" "0\n1\n$table.RES\n0\n6\n$table.TXT\n$table.DAT\n-1\n"
cmp -s "$(on_disk "$table.TXT")" interp.1 || fail "the output named in code page 932 holds other bytes"
expect "output $table.RES" postconv 2 \
  "postconv: severe (9): the output file would overwrite the result file $(cp932 "$table.RES"), unit 8, file $(cp932 "$table.RES")" \
  "0\n1\n$table.RES\n0\n2\n$table.RES\n-1\n" "$(on_disk "$table.RES")"
expect "point file $table.TXT is the output" postconv 2 \
  "postconv: severe (9): the output file would overwrite the point file $(cp932 "$table.TXT"), unit 8, file $(cp932 "$table.TXT")" \
  "0\n1\nRES.BIN\n0\n6\n$table.TXT\n$table.TXT\n-1\n" "$(on_disk "$table.TXT")"
expect "timehist, result file $table.RES" timehist 0 "" "1\n$table.RES\nGRAPH.DAT\n"
cmp -s GHTIME.CSV ghtime.1 || fail "timehist on the result file named in code page 932 wrote other bytes"

# --- Windows: letter case and a leading .\ do not make another file
if on_windows; then
  refused() {  # NAME PROGRAM UNIT_AND_WORDS ANSWERS PROTECTED...
    local name=$1 prog=$2 words=$3 answers=$4
    shift 4
    expect "$name" "$prog" 2 "$prog: severe (9): $words" "$answers" "$@"
  }
  refused "output res.bin" postconv "the output file would overwrite the result file RES.BIN, unit 8, file res.bin" \
    '0\n1\nRES.BIN\n0\n2\nres.bin\n-1\n' RES.BIN
  refused 'output .\RES.BIN' postconv 'the output file would overwrite the result file RES.BIN, unit 8, file .\RES.BIN' \
    '0\n1\nRES.BIN\n0\n2\n.\\RES.BIN\n-1\n' RES.BIN
  refused "output work.lst" postconv "the output file would overwrite the work list WORK.LST, unit 8, file work.lst" \
    '0\n0\n0\n2\nwork.lst\n-1\n' WORK.LST RES.BIN
  printf 'scratch of an earlier run\r\n' >AVS.tmp
  refused "MicroAVS output avs.TMP" postconv \
    "the output file would overwrite the MicroAVS scratch file AVS.tmp, unit 8, file avs.TMP" \
    '0\n0\n0\n4\navs.TMP\n-1\n' AVS.tmp RES.BIN
  rm -f AVS.tmp && cp RES.BIN avs.TMP
  refused "MicroAVS with the result file avs.TMP" postconv \
    "the MicroAVS scratch file would overwrite the result file avs.TMP, unit 30, file AVS.tmp" \
    '0\n1\navs.TMP\n0\n4\nOUT.TXT\n-1\n' avs.TMP
  rm -f avs.TMP
  refused "point file out.txt" postconv "the output file would overwrite the point file out.txt, unit 8, file OUT.TXT" \
    '0\n1\nRES.BIN\n0\n6\nOUT.TXT\nout.txt\n-1\n' RES.BIN
  rm -f GHTIME.CSV && cp GRAPH.DAT ghtime.csv
  refused "graph data file ghtime.csv" timehist \
    "the CSV file would overwrite the graph data file ghtime.csv, unit 21, file GHTIME.CSV" '1\nRES.BIN\nghtime.csv\n' \
    ghtime.csv RES.BIN
  rm -f ghtime.csv GQTIME.csv && cp RES.BIN gqtime.CSV
  refused "result file gqtime.CSV" timehist \
    "the CSV file would overwrite the result file gqtime.CSV, unit 22, file GQTIME.csv" '1\ngqtime.CSV\nGRAPH.DAT\n' \
    gqtime.CSV GRAPH.DAT
fi

finish "file names: every check passed"
