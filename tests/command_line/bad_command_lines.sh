#!/usr/bin/env bash
# A command line that cannot be run is one line on standard error and exit
# status 2, before anything is opened: nothing in the directory changes (no
# output file, no AVS.tmp, no empty point or graph data file). --help and
# --version of every program print their text and exit 0 without reading
# standard input.
#
# usage: bad_command_lines.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
source "$(dirname "$0")/../programs.sh"
enter_scratch

program resultgen sample --nx 4 --ny 3 --steps 1 --out RUN.RES --worklst 2>/dev/null
echo 1 >POINTS.DAT
before=$(ls -lA --time-style=+%s.%N; md5sum ./*)

# refused PROGRAM MESSAGE ARGS...: the run ends with "PROGRAM: MESSAGE (PROGRAM
# --help lists the options)" and status 2, and leaves the directory as it was.
refused() {
  local program=$1 message=$2
  shift 2
  program "$program" "$@" </dev/null >out.txt 2>err.txt
  local status=$?
  local expected="$program: $message ($program --help lists the options)"
  [ "$status" = 2 ] || fail "$program $*: status $status"
  [ "$(cat err.txt)" = "$expected"$'\r' ] || fail "$program $*: stderr '$(cat err.txt)', expected '$expected'"
  [ ! -s out.txt ] || fail "$program $*: wrote on standard output: $(head -c 200 out.txt)"
  rm -f out.txt err.txt
  [ "$(ls -lA --time-style=+%s.%N; md5sum ./*)" = "$before" ] || fail "$program $*: the directory changed: $(ls -A)"
}

refused postconv "unknown option '--kindd'" RUN.RES --kindd tecplot -o out.dat
refused postconv "option -o needs a value" RUN.RES --kind tecplot -o
refused postconv "option --kind needs a value, not an empty one" RUN.RES --kind= -o out.dat
for kind in plot 7; do
  refused postconv "unknown kind '$kind': --kind takes restart, tecplot, femap, microavs, rxview or interp, or their menu numbers 1 to 6" RUN.RES --kind $kind -o out.dat
done
refused postconv "--points goes with --kind interp only" RUN.RES --kind tecplot -o out.dat --points POINTS.DAT
refused postconv "--kind interp needs --points FILE" RUN.RES --kind interp -o out.dat
refused postconv "no result file given" --kind restart -o out.dat
refused postconv "no output kind given (--kind)" RUN.RES -o out.dat
refused postconv "no output file given (-o)" RUN.RES --kind microavs
refused postconv "one result file only; 'RUN.RES' and 'out.dat' given" RUN.RES out.dat --kind restart
refused postconv "--step takes all, last or a step number above 0, not '-1'" RUN.RES --kind restart -o out.dat --step -1
refused postconv "--step takes all, last or a step number above 0, not '2x'" RUN.RES --kind restart -o out.dat --step 2x
refused postconv "option --help takes no value" --help=yes
refused timehist "a result file and a graph data file are needed" RUN.RES
refused timehist "one result file and one graph data file only; 'C' is a third" RUN.RES GRAPH.DAT C
refused timehist "-C none: no such directory" RUN.RES GRAPH.DAT -C none
refused timehist "-C RUN.RES: not a directory" RUN.RES GRAPH.DAT -C RUN.RES
refused timehist "option -C needs a value" RUN.RES GRAPH.DAT -C
refused timehist "unknown option '--step'" RUN.RES GRAPH.DAT --step 1

# Help and version: the usage line first, a pointer to the README, status 0.
for program in postconv timehist postvtk resultgen; do
  help=$(program "$program" --help </dev/null 2>&1)
  [ $? = 0 ] || fail "$program --help: non-zero status"
  [[ $help == "usage: $program "* ]] || fail "$program --help does not start with its usage: ${help:0:80}"
  [[ $help == *README.md* ]] || fail "$program --help does not point to the README"
  version=$(program "$program" --version </dev/null 2>&1)
  [ $? = 0 ] || fail "$program --version: non-zero status"
  [[ $version =~ ^$program\ [0-9]+\.[0-9]+\.[0-9]+$'\r'?$ ]] || fail "$program --version gives '$version'"
done

finish "every bad command line is refused with its line and status 2; help and version work"
