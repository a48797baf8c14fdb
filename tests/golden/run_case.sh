#!/usr/bin/env bash
# Runs one golden case: a program fed with answers on standard input in a fresh
# directory, then every expected file compared byte for byte.
#
# usage: run_case.sh BIN_DIR CASE_DIR
#   BIN_DIR holds postconv, timehist and resultgen (run as tests/programs.sh
#   says; the Windows programs through exit_status.exe, which reports the
#   whole exit status).
#
# A case directory (tests/golden/PROGRAM/NAME) holds:
#   stdin       the answers typed at the prompts (required)
#   in/         files placed in the run directory first; NAME.rtxt is turned
#               into the binary result file NAME by `resultgen text`
#   out/        files expected in the run directory afterwards, byte for byte
#   stdout      the expected console text (optional)
#   stderr      the expected standard error (when absent: none at all)
#   status      the expected exit status (when absent: 0)
#   status.windows  the expected exit status of the Windows programs, where it
#               differs: Linux keeps only the low 8 bits of a status
#   absent      names that must not exist after the run, one per line
# With GOLDEN_BLESS=1 the case's stdout, stderr, status and out/ files are
# rewritten from the run (review them before committing).
set -u
bin=$(cd "$1" && pwd)
case_dir=$(cd "$2" && pwd)
program=$(basename "$(dirname "$case_dir")")
source "$(dirname "$0")/../programs.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Fills the run directory with the case's input files.
prepare() {
  rm -rf "$work" && mkdir "$work" || exit 1
  for f in "$case_dir"/in/* "$case_dir"/in/.[!.]*; do
    [ -e "$f" ] || continue
    name=$(basename "$f")
    case $name in
      *.rtxt) program resultgen text "$f" "$work/${name%.rtxt}" || exit 1 ;;
      *) cp -p "$f" "$work/$name" ;;
    esac
  done
}

# Runs the program on the case's answers; sets `status`.
run_program() {
  if on_windows; then
    (cd "$work" && program exit_status .status "$bin/$program.exe" <"$case_dir/stdin" >"$work/.stdout" \
      2>"$work/.stderr")
    status=$(cat "$work/.status" 2>/dev/null || echo "none (exit_status did not report)")
    rm -f "$work/.status"
  else
    (cd "$work" && program "$program" <"$case_dir/stdin" >"$work/.stdout" 2>"$work/.stderr")
    status=$?
  fi
}

prepare
run_program
# A launcher that did not report never saw the program end (the emulator could
# not start it): that is no result of the case, so it gets one more start.
if [ "$status" = "none (exit_status did not report)" ]; then
  echo "exit_status did not report ($(head -c 300 "$work/.stderr")); running the case again"
  prepare
  run_program
fi

if [ "${GOLDEN_BLESS:-0}" = 1 ]; then
  cp "$work/.stdout" "$case_dir/stdout"
  if [ -s "$work/.stderr" ]; then cp "$work/.stderr" "$case_dir/stderr"; else rm -f "$case_dir/stderr"; fi
  if [ "$status" != 0 ]; then echo "$status" >"$case_dir/status"; else rm -f "$case_dir/status"; fi
  if [ -d "$case_dir/out" ]; then
    for f in "$case_dir"/out/*; do [ -e "$work/$(basename "$f")" ] && cp "$work/$(basename "$f")" "$f"; done
  fi
  echo "blessed $case_dir"
  exit 0
fi

failed=0
fail() { echo "FAIL: $*"; failed=1; }
show_diff() {  # expected actual
  diff <(cat -A "$1") <(cat -A "$2") | head -n 20
}

expected_status=0
[ -f "$case_dir/status" ] && expected_status=$(cat "$case_dir/status")
on_windows && [ -f "$case_dir/status.windows" ] && expected_status=$(cat "$case_dir/status.windows")
[ "$status" = "$expected_status" ] || fail "exit status $status, expected $expected_status"

if [ -f "$case_dir/stdout" ]; then
  cmp -s "$case_dir/stdout" "$work/.stdout" || { fail "standard output differs"; show_diff "$case_dir/stdout" "$work/.stdout"; }
fi
if [ -f "$case_dir/stderr" ]; then
  cmp -s "$case_dir/stderr" "$work/.stderr" || { fail "standard error differs"; show_diff "$case_dir/stderr" "$work/.stderr"; }
elif [ -s "$work/.stderr" ]; then
  fail "unexpected standard error:"; head -n 5 "$work/.stderr"
fi

if [ -d "$case_dir/out" ]; then
  for f in "$case_dir"/out/*; do
    name=$(basename "$f")
    if [ ! -e "$work/$name" ]; then fail "$name was not written"; continue; fi
    cmp -s "$f" "$work/$name" || { fail "$name differs"; show_diff "$f" "$work/$name"; }
  done
fi
if [ -f "$case_dir/absent" ]; then
  while read -r name; do
    [ -n "$name" ] && [ -e "$work/$name" ] && fail "$name exists but should not"
  done <"$case_dir/absent"
fi
exit $failed
