#!/usr/bin/env bash
# One wine server for a series of Windows runs (tools/wine_run.sh), from before
# the first to after the last. Without it each burst of runs starts a server
# that waits 30 s for more and then ends, and a run that connects just as it
# ends fails ("wine client error: ... Connection reset by peer"); starting
# wine's services once also takes a few seconds off every burst.
#
# usage: wine_server.sh start     (after the windows build has made the prefix, or not)
#        wine_server.sh stop
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/windows/wine}
case "${1:-}" in
  start)
    # A first run makes the prefix if it is not there yet; a server left by it
    # or by the build's listing of the unit tests goes, and one that stays
    # until `stop` takes its place. Then a run with no output starts wine's
    # services, which would otherwise hold the output of the first test open
    # for as long as the server runs.
    "$root/tools/wine_run.sh" cmd /c exit </dev/null >/dev/null 2>&1
    wineserver -k 2>/dev/null || true
    wineserver -p </dev/null >/dev/null 2>&1
    "$root/tools/wine_run.sh" cmd /c exit </dev/null >/dev/null 2>&1
    ;;
  stop) wineserver -k 2>/dev/null || true ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
