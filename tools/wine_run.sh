#!/usr/bin/env bash
# Runs a Windows program under wine: quiet, in the prefix WINEPREFIX (default
# build/windows/wine), which is created on first use. Several runs may start at
# once: the first creates the prefix while the others wait for it.
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
    [ -f "$WINEPREFIX/system.reg" ] || wineboot --init >/dev/null 2>&1 || true
    wineserver --wait 2>/dev/null || true
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
