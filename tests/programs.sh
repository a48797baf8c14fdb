# Sourced by the test scripts: runs the programs of the build under test. A
# cross build names its emulator (wine) and executable suffix (.exe) in the
# environment, as CMake knows them: GWPOST_EMULATOR and GWPOST_EXE_SUFFIX.
# Needs `bin`, the folder of the programs.

# program NAME [ARGS...]: runs the program NAME of the build.
program() {
  local name=$1
  shift
  ${GWPOST_EMULATOR:+"$GWPOST_EMULATOR"} "$bin/$name${GWPOST_EXE_SUFFIX:-}" "$@"
}

# Whether the programs are Windows programs.
on_windows() { [ "${GWPOST_EXE_SUFFIX:-}" = .exe ]; }

# The bytes of a name in code page 932 ($1, printf escapes); and the name of the
# file of that name as this system stores it (wine stores names in UTF-8).
cp932() { printf "$1"; }
on_disk() {
  if on_windows; then cp932 "$1" | iconv -f CP932 -t UTF-8; else cp932 "$1"; fi
}

# For the scripts of checks: `enter_scratch` moves into a fresh folder ($work),
# removed at exit; `fail` reports and counts a failed check; `finish MESSAGE`
# ends the script, failed when any check failed.
enter_scratch() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cd "$work" || exit 2
  failures=0
}
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
  fi
  echo "$1"
}
