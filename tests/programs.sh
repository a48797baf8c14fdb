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
