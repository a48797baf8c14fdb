#!/usr/bin/env bash
# postvtk from the command line: usage errors, result-file faults, step choices,
# what is left on disk, and its messages.
#
# usage: command_line_test.sh BIN_DIR     (BIN_DIR holds postvtk and resultgen)
set -u
bin=$(cd "$1" && pwd)
source "$(dirname "$0")/../programs.sh"
enter_scratch

# run EXPECTED_STATUS ARGS...: runs postvtk, keeps out.txt and err.txt. Every
# console line must end with CR LF; the CRs are then taken out for the checks.
run() {
  local expected=$1
  shift
  program postvtk "$@" >out.txt 2>err.txt
  local status=$?
  if [ "$status" != "$expected" ]; then
    fail "postvtk $* gave status $status, expected $expected; stderr: $(cat err.txt)"
  fi
  local stream
  for stream in out.txt err.txt; do
    if grep -q $'[^\r]$\|^$' "$stream"; then fail "postvtk $*: a line of $stream does not end with CR LF"; fi
    tr -d '\r' <"$stream" >"$stream.lf" && mv "$stream.lf" "$stream"
  done
}
err_has() { grep -qF -- "$1" err.txt || fail "stderr lacks '$1': $(cat err.txt)"; }
err_is() { [ "$(cat err.txt)" = "$1" ] || fail "stderr is '$(cat err.txt)', expected '$1'"; }
err_empty() { [ ! -s err.txt ] || fail "stderr not empty: $(cat err.txt)"; }
# Number of DataSet lines of a collection file.
datasets() { grep -c '<DataSet ' "$1"; }
# Names of the .vtu files (and leftovers) in a directory, space-separated.
listing() { (cd "$1" && ls -A | tr '\n' ' '); }

# A small mesh: two quads over nodes 1..6, three steps numbered 4, 7, 7.
cat >three.txt <<'DESC'
title THREE STEPS
node 0 0 0 -1 0
node 1 0 0 -1 0
node 2 0 0 -1 0
node 0 1 0 -1 0
node 1 1 0 -1 0
node 2 1 0 -1 0
elem 1 2 5 4 1 0
elem 2 3 6 5 1 0
step 4 0.5
e 1 0 2
e 1 0 2
step 7 1.5
e 1 0 2
e 1 0 2
step 7 3.0
e 1 0 2
e 1 0 2
DESC
program resultgen text three.txt THREE.RES

# --- usage errors: status 2, a message and a hint, nothing written
run 2
err_has "postvtk: no result file given"
err_has "--help"
run 2 THREE.RES --bogus
err_has "unknown option '--bogus'"
run 2 THREE.RES --steps 1,x
err_has "--steps takes all, last or step numbers"
run 2 THREE.RES OTHER.RES
run 2 THREE.RES --name a/b
run 2 THREE.RES -o
[ -z "$(ls ./*.pvd ./*.vtu 2>/dev/null)" ] || fail "a usage error wrote files"
run 0 --help
grep -q '^usage: postvtk RESULT_FILE' out.txt || fail "--help shows no usage line"

# --- all steps (default): one file per block, the collection with every TIME
run 0 THREE.RES -o all
err_empty  # no progress line when standard error is not a terminal
[ "$(listing all)" = "THREE.pvd THREE_0001.vtu THREE_0002.vtu THREE_0003.vtu " ] || fail "all: $(listing all)"
grep -q 'timestep="0.5" group="" part="0" file="THREE_0001.vtu"' all/THREE.pvd || fail "all: first data set"
grep -q 'timestep="3" group="" part="0" file="THREE_0003.vtu"' all/THREE.pvd || fail "all: last data set"
grep -q '^postvtk: wrote all/THREE.pvd and 3 step file(s): 6 points, 2 cells$' out.txt || fail "summary: $(cat out.txt)"

# A terminal on standard error gets the progress line (when script(1) can make one).
# Not under wine: wine draws its console on the terminal with cursor codes of its
# own, so the bytes of the line cannot be compared there.
if command -v script >/dev/null && ! on_windows; then
  script -qec "'$bin/postvtk' THREE.RES -o tty >/dev/null" tty.log </dev/null >/dev/null 2>&1
  grep -q $'\rpostvtk: 3 written, step 7, time 3 ' tty.log || fail "no progress line on a terminal: $(cat -A tty.log)"
fi

# --- last: only the last block
run 0 THREE.RES -o last --steps last --name L
[ "$(listing last)" = "L.pvd L_0003.vtu " ] || fail "last: $(listing last)"
[ "$(datasets last/L.pvd)" = 1 ] && grep -q 'timestep="3"' last/L.pvd || fail "last: collection"

# --- numbers select by the step number LA; every block carrying it
run 0 THREE.RES -o seven --steps 7
[ "$(listing seven)" = "THREE.pvd THREE_0002.vtu THREE_0003.vtu " ] || fail "7: $(listing seven)"
run 0 THREE.RES -o some --steps 4,99
err_is "postvtk: warning: no step numbered 99 in THREE.RES"
[ "$(datasets some/THREE.pvd)" = 1 ] || fail "4,99: collection"
run 1 THREE.RES -o none --steps 99,98
err_is "postvtk: no step numbered 99, 98 in THREE.RES; nothing written"
[ ! -e none/THREE.pvd ] || fail "99,98 wrote a collection"

# --- the browser view beside the VTK files, or instead of them
run 0 THREE.RES -o html --html
[ "$(listing html)" = "THREE.html THREE.pvd THREE_0001.vtu THREE_0002.vtu THREE_0003.vtu " ] || fail "--html: $(listing html)"
grep -q '^postvtk: wrote html/THREE.html: 3 step(s), 6 nodes, 2 cells$' out.txt || fail "--html summary: $(cat out.txt)"
run 0 THREE.RES -o html_only --html-only --steps 7
[ "$(listing html_only)" = "THREE.html " ] || fail "--html-only: $(listing html_only)"
grep -q '"la":\[7,7\]' html_only/THREE.html || fail "--html-only --steps 7: steps in the page"

# --- a file with the mesh part only has nothing to write
cat >mesh.txt <<'DESC'
title MESH ONLY
node 0 0 0 0 0
node 1 0 0 0 0
node 1 1 0 0 0
elem 1 2 3 3 1 0
DESC
program resultgen text mesh.txt MESH.RES
run 1 MESH.RES -o mesh
err_is "postvtk: MESH.RES holds no time step; nothing written"
[ ! -e mesh/MESH.pvd ] || fail "mesh only wrote a collection"

# --- result-file faults: the diagnostic of the other programs, status 2, and the line
# that says what it means
run 2 NOPE.RES
err_is "postvtk: severe (1): file not found, unit 10, file NOPE.RES"
# The last step block cut short: the steps before it are written, and the collection
# lists exactly them, replacing the one of a longer earlier run; no partly written
# file is left behind.
run 0 THREE.RES -o cut --name CUT
{ cat three.txt; echo "drop 10"; } >cut.txt
program resultgen text cut.txt CUT.RES
run 2 CUT.RES -o cut
err_is "postvtk: severe (2): end-of-file during read, unit 10, file CUT.RES; cut/CUT.pvd lists the 2 step file(s) written before the fault"$'\n'"postvtk: CUT.RES was cut short: it ends inside step 7 (step block 3): its element results record at byte 956 is cut off (the file has 1002 bytes)"
[ "$(listing cut)" = "CUT.pvd CUT_0001.vtu CUT_0002.vtu CUT_0003.vtu " ] || fail "cut: $(listing cut)"
[ "$(datasets cut/CUT.pvd)" = 2 ] && ! grep -q CUT_0003 cut/CUT.pvd || fail "cut: collection $(cat cut/CUT.pvd)"
# The browser view of a cut run shows the steps read before the fault, not an older page.
run 0 THREE.RES -o cut_html --name CUT --html-only
run 2 CUT.RES -o cut_html --html-only
err_is "postvtk: severe (2): end-of-file during read, unit 10, file CUT.RES; cut_html/CUT.html shows the 2 step(s) read before the fault"$'\n'"postvtk: CUT.RES was cut short: it ends inside step 7 (step block 3): its element results record at byte 956 is cut off (the file has 1002 bytes)"
grep -q '"la":\[4,7\]' cut_html/CUT.html || fail "cut --html-only: steps in the page"
# A collection that cannot be written (a folder in its place) is a fault of its own.
mkdir -p nopvd/THREE.pvd
run 2 THREE.RES -o nopvd
err_has "postvtk: severe (8): cannot replace file"
run 2 CUT.RES -o nopvd --name THREE
err_has "file CUT.RES; no collection written (cannot replace file"
# A node record shorter than NUMNP nodes.
{ cat three.txt; echo "numnp 7"; } >short.txt
program resultgen text short.txt SHORT.RES
run 2 SHORT.RES -o short
err_is "postvtk: severe (4): input statement requires too much data, unit 10, file SHORT.RES"$'\n'"postvtk: SHORT.RES is not a result file of the solver: in its mesh part, its node record at byte 100 holds 216 bytes, fewer than the 252 it needs"
# More nodes than the converter's capacity.
{ cat three.txt; echo "numnp 44445"; } >big.txt
program resultgen text big.txt BIG.RES
run 2 BIG.RES -o big
err_has "postvtk: severe (9): the result file holds 44445 nodes, more than the 44444 this program holds"

# --- the output directory: created when missing; a plain file in its place is a fault
run 0 THREE.RES -o deep/er/dir --steps last
[ -e deep/er/dir/THREE.pvd ] || fail "nested output directory not created"
touch plain
run 2 THREE.RES -o plain
err_has "postvtk: severe (7): cannot create directory"

# --- an output name that is the result file is refused and the file kept; the
# collection's name is refused before any step file is written
cp THREE.RES R_0001.vtu
run 2 R_0001.vtu --name R
err_is "postvtk: severe (9): output file would replace the result file, unit 8, file ./R_0001.vtu"
cmp -s THREE.RES R_0001.vtu || fail "the result file was changed"
mkdir pvd && cp THREE.RES pvd/P.pvd
run 2 pvd/P.pvd -o pvd
err_is "postvtk: severe (9): output file would replace the result file, unit 8, file pvd/P.pvd"
[ "$(listing pvd)" = "P.pvd " ] && cmp -s THREE.RES pvd/P.pvd || fail "result named .pvd: $(listing pvd)"

# --- elements that cannot be drawn are left out with a warning
cat >bad.txt <<'DESC'
title BAD CORNERS
node 0 0 0 0 0
node 1 0 0 0 0
node 1 1 0 0 0
elem 1 2 3 3 1 0
elem 1 2 9 3 1 0
elem 1 0 3 3 0 0
step 1 1.0
DESC
program resultgen text bad.txt BAD.RES
run 0 BAD.RES -o bad
err_is "postvtk: warning: 2 element(s) with a corner number outside 1..3 left out, the first is element 2"
grep -q 'NumberOfCells="1"' bad/BAD_0001.vtu || fail "bad corners: cell count"

# --- a velocity divided by D = 0 is NaN in binary and in text, without a warning
cat >zero.txt <<'DESC'
title ZERO D
node 0 0 0 0 0
node 1 0 0 0 0
node 1 1 0 0 0
elem 1 2 3 3 1 0
step 1 1.0
e 1 0 0
DESC
program resultgen text zero.txt ZERO.RES
run 0 ZERO.RES -o zero_txt --ascii
err_empty
grep -q 'format="ascii"' zero_txt/ZERO_0001.vtu || fail "--ascii wrote no ascii arrays"
grep -q '^nan nan 0$' zero_txt/ZERO_0001.vtu || fail "--ascii wrote no nan velocity"
! grep -qi 'inf' zero_txt/ZERO_0001.vtu || fail "--ascii wrote inf"

# --- times that do not rise: a warning naming the steps; --time index places each
# step at its position in the file
cat >times.txt <<'DESC'
title SAME TIMES
node 0 0 0 0 0
node 1 0 0 0 0
node 1 1 0 0 0
elem 1 2 3 3 1 0
step 1 0.0
step 2 0.0
step 3 0.0
DESC
program resultgen text times.txt TIMES.RES
run 0 TIMES.RES -o times
err_is "postvtk: warning: step 2 (TIMES_0002.vtu) has time 0, not above the time 0 of step 1 (TIMES_0001.vtu), and 1 more step(s) do not follow in time; a viewer draws such steps at one time: --time index gives each step its position as its time"
run 0 TIMES.RES -o times_index --time index --steps 2,3
err_empty
grep -q 'timestep="2" group="" part="0" file="TIMES_0002.vtu"' times_index/TIMES.pvd &&
  grep -q 'timestep="3" group="" part="0" file="TIMES_0003.vtu"' times_index/TIMES.pvd || fail "--time index: $(cat times_index/TIMES.pvd)"

# --- the netCDF file: beside the VTK files or alone; bad netCDF options are one
# line and status 2 with nothing written; a cut run keeps the steps before the
# fault; a run that writes no step leaves an earlier file as it was
run 0 THREE.RES -o nc --netcdf --steps 7
[ "$(listing nc)" = "THREE.nc THREE.pvd THREE_0002.vtu THREE_0003.vtu " ] || fail "--netcdf: $(listing nc)"
grep -q '^postvtk: wrote nc/THREE.nc: 2 step(s), 6 nodes, 2 faces (the active elements)$' out.txt ||
  fail "--netcdf summary: $(cat out.txt)"
run 0 THREE.RES -o nc_only --netcdf-only
[ "$(listing nc_only)" = "THREE.nc " ] || fail "--netcdf-only: $(listing nc_only)"
for bad in "--crs 6677" "--crs EPSG:x" "--shift 1" "--shift 1,y" "--start 2023-02-29" "--start 2000-01-01T25:00" \
           "--time-unit week" "--length-unit 2m"; do
  # shellcheck disable=SC2086
  run 2 THREE.RES -o nc_bad --netcdf-only $bad
  [ "$(wc -l <err.txt)" = 1 ] && err_has "(postvtk --help lists the options)" || fail "$bad: $(cat err.txt)"
done
run 2 THREE.RES -o nc_bad --crs EPSG:6677
err_is "postvtk: --crs sets the netCDF file: give it with --netcdf or --netcdf-only (postvtk --help lists the options)"
[ ! -e nc_bad ] || fail "a bad netCDF option wrote $(listing nc_bad)"
run 0 THREE.RES -o nc_cut --name CUT --netcdf-only
cp nc_cut/CUT.nc longer.nc
run 2 CUT.RES -o nc_cut --netcdf-only
err_is "postvtk: severe (2): end-of-file during read, unit 10, file CUT.RES; nc_cut/CUT.nc holds the 2 step(s) written before the fault"$'\n'"postvtk: CUT.RES was cut short: it ends inside step 7 (step block 3): its element results record at byte 956 is cut off (the file has 1002 bytes)"
[ "$(listing nc_cut)" = "CUT.nc " ] || fail "cut --netcdf-only: $(listing nc_cut)"
run 1 THREE.RES -o nc_cut --name CUT --netcdf-only --steps 99
cmp -s nc_cut/CUT.nc longer.nc && fail "a run cut after two steps left the longer file"
{ head -c 200 CUT.RES; } >MESHCUT.RES
run 2 MESHCUT.RES -o nc_cut --name CUT --netcdf-only
[ "$(listing nc_cut)" = "CUT.nc " ] || fail "a fault in the mesh left $(listing nc_cut)"
run 1 MESH.RES -o nc_mesh --netcdf-only
[ -z "$(listing nc_mesh)" ] || fail "no step: $(listing nc_mesh)"
cat >inactive.txt <<'DESC'
title NO ACTIVE ELEMENT
node 0 0 0 0 0
node 1 0 0 0 0
node 1 1 0 0 0
elem 1 2 3 3 0 0
step 1 1.0
DESC
program resultgen text inactive.txt INACTIVE.RES
run 2 INACTIVE.RES -o nc_inactive --netcdf
err_is "postvtk: severe (9): the result file holds no active element that can be drawn, and a netCDF mesh needs at least one, unit 8, file nc_inactive/INACTIVE.nc"
[ ! -e nc_inactive ] || fail "no active element: $(listing nc_inactive)"

finish "all command-line checks passed"
