#!/usr/bin/env bash
# The extractor reads a long result file with two readers, the second from
# the middle block on: what it keeps and how it fails are those of reading the
# blocks one after another (GWPOST_THREADS=1), whatever the file holds: more
# blocks than the store keeps, damage in the second half, damage in both
# halves (the first fault is the one reported), and a first block longer than
# the rest (the middle is not where it seems).
#
# usage: split_reading.sh BIN_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(cd "$1" && pwd)
source "$(dirname "$0")/../programs.sh"
enter_scratch

program resultgen sample --nx 30 --ny 30 --steps 400 --split-every 0 --out HIST.RES 2>/dev/null
"$root/tools/full_graph_data.sh" 400 900 841 >GRAPH.DAT
"$root/tools/full_graph_data.sh" 250 900 841 >GRAPH250.DAT

# variant NAME EDIT...: a copy of HIST.RES changed by the edits, where the
# records are counted from the file's start, from 0 (mesh part 5, 3 per
# block): count R: the leading byte count of record R is damaged; pad R:
# record R holds as many bytes more as make the size of the step blocks a
# multiple of the first block's new length.
variant() {
  python3 - "$@" <<'PY'
import struct, sys
name, edits = sys.argv[1], sys.argv[2:]
data = bytearray(open("HIST.RES", "rb").read())
records, at = [], 0
while at < len(data):
    n = struct.unpack_from("<i", data, at)[0]
    records.append([at, n])
    at += n + 8
pads = []
for kind, r in zip(edits[::2], map(int, edits[1::2])):
    if kind == "count":
        struct.pack_into("<i", data, records[r][0], records[r][1] + 4)
    else:
        pads.append(r)
first, block = records[5][0], records[8][0] - records[5][0]
for r in sorted(pads, reverse=True):
    rest = len(data) - first
    extra = next(k for k in range(8, 100000, 4) if (rest + k) % (block + k) == 0)
    start, n = records[r]
    struct.pack_into("<i", data, start, n + extra)
    struct.pack_into("<i", data, start + 4 + n, n + extra)
    data[start + 4 + n:start + 4 + n] = bytes(extra)
open(name, "wb").write(data)
PY
}

# Damage that leaves the file's size as it was, so that two readers take it.
variant LATE.RES count $((5 + 3 * 300 + 1))
variant BOTH.RES count $((5 + 3 * 50 + 2)) count $((5 + 3 * 300 + 1))
# The first block's node results record is longer, by as much as keeps the
# file's size a multiple of the first block's length.
variant LONGER.RES pad 6

# same LABEL RESULT GRAPH FAULT: the run's console, status and files, on two
# readers and on one; the diagnostic names FAULT (empty: the run succeeds).
same() {
  local label=$1 fault=$4 f mode
  for mode in one two; do
    rm -f GHTIME.CSV GQTIME.csv GVDTIME.csv GVATIME.csv
    local status=0 threads=
    [ $mode = one ] && threads=1
    GWPOST_THREADS=$threads program timehist "$2" "$3" >$mode.out 2>$mode.err || status=$?
    echo "$status" >$mode.status
    cat GHTIME.CSV GQTIME.csv GVDTIME.csv GVATIME.csv >$mode.csv 2>/dev/null || true
  done
  for f in out err status csv; do
    cmp -s one.$f two.$f || fail "$label: $f differs between one reader and two"
  done
  if [ -z "$fault" ]; then
    [ "$(cat two.status)" = 0 ] && [ -s two.csv ] || fail "$label: no CSV files written"
  else
    grep -q "$fault" two.err || fail "$label: the diagnostic does not name $fault: $(cat two.err)"
  fi
}

same "more blocks than kept" HIST.RES GRAPH250.DAT ""
same "damaged in the second half" LATE.RES GRAPH.DAT "step block 301"
same "damaged in both halves" BOTH.RES GRAPH.DAT "step block 51"
same "first block longer" LONGER.RES GRAPH.DAT ""
finish "split reading: same as one reader"
