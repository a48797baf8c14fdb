#!/bin/bash
# Runs COMMAND... with DISPLAY set to an X server of its own (Xvfb), for a test
# that draws a picture. Xvfb picks a free display number itself (-displayfd), so
# tests running side by side, or another X server on the machine, never share
# one, and it takes local connections without an authority file. -noreset keeps
# it from starting over whenever its last client leaves: ParaView opens a
# connection, closes it and opens another, which a resetting server refuses.
# Exits 77 (skipped), with the reason, when no X server can be had: Xvfb is not
# installed, does not start, or refuses the command's connection.
set -u
command -v Xvfb >/dev/null || { echo "SKIPPED: no Xvfb to draw the picture (Debian's xvfb)"; exit 77; }

scratch=$(mktemp -d) || exit 1
server=0
cleanup() {
    [ "$server" != 0 ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$scratch/display" 2>"$scratch/server.log" &
server=$!
for _ in $(seq 200); do  # up to 20 s: Xvfb writes the number once it takes connections
    [ -s "$scratch/display" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
done
if ! [ -s "$scratch/display" ]; then
    echo "SKIPPED: Xvfb did not start:"; cat "$scratch/server.log"
    exit 77
fi
export DISPLAY=":$(head -n 1 "$scratch/display")"

"$@" 2>&1 | tee "$scratch/command.log"
status=${PIPESTATUS[0]}
if [ "$status" != 0 ] && grep -q -E "bad X server connection|cannot open display|Could not open display" "$scratch/command.log"; then
    echo "SKIPPED: the X server on $DISPLAY refused the connection:"; cat "$scratch/server.log"
    exit 77
fi
exit "$status"
