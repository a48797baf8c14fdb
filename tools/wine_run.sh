#!/usr/bin/env bash
# Runs a Windows program under wine: quiet, in the prefix WINEPREFIX (default
# build/windows/wine), which is created on first use. Several runs may start at
# once: the first creates the prefix while the others wait for it. This is the
# emulator of the windows preset (cmake/mingw-w64-x86_64.cmake).
#
# usage: wine_run.sh PROGRAM.exe [ARGS...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    # Only the run that creates the prefix waits for its server to end (and so to
    # save the prefix): a run that waited here for a server already serving the
    # others would wait until every other run had ended.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot --init >/dev/null 2>&1 || true
      wineserver --wait 2>/dev/null || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# One server for a burst of runs: it stays 30 s after the last program ends, so
# that not every program pays the seconds wine takes to start its own services.
wineserver -p30 2>/dev/null || true
exec wine "$@"
