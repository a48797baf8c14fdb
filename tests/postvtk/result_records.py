"""The solver's result file read with the standard library alone, independently of
the programs, and the failure list that the read-back tests share."""
import math
import os
import struct
import sys

failures = []


def program(bin_dir, name):
    """The command of the program NAME of the build in BIN_DIR: through the emulator
    of a cross build (GWPOST_EMULATOR), with its executable suffix (GWPOST_EXE_SUFFIX)."""
    emulator = os.environ.get("GWPOST_EMULATOR")
    return ([emulator] if emulator else []) + [os.path.join(bin_dir, name + os.environ.get("GWPOST_EXE_SUFFIX", ""))]


def check(condition, what):
    if not condition:
        failures.append(what)


def finish(what):
    """Ends the test: status 1 after listing the failures, else 0."""
    if failures:
        for line in failures:
            print("FAIL:", line)
        print(f"{len(failures)} failure(s)")
        sys.exit(1)
    print(f"all {what} checks passed")


def records(data):
    """(offset, payload) of every binary record of a result file's bytes."""
    at = 0
    while at < len(data):
        (size,) = struct.unpack_from("<i", data, at)
        yield at, data[at + 4:at + 4 + size]
        at += size + 8


def read_result(path):
    """Title bytes, node and element items, and every step's items."""
    recs = [payload for _, payload in records(open(path, "rb").read())]
    title, numnp_rec, node_rec, numel_rec, elem_rec = recs[:5]
    numnp = struct.unpack("<i", numnp_rec[:4])[0]
    numel = struct.unpack("<i", numel_rec[:4])[0]
    nodes = [struct.unpack_from("<ddddi", node_rec, 36 * n) for n in range(numnp)]
    elems = [struct.unpack_from("<iiiiid", elem_rec, 28 * e) for e in range(numel)]
    steps = []
    for k in range(5, len(recs), 3):
        la, time = struct.unpack("<id", recs[k][:12])
        nres = [struct.unpack_from("<idd", recs[k + 1], 20 * n) for n in range(numnp)]
        eres = [struct.unpack_from("<ddd", recs[k + 2], 24 * e) for e in range(numel)]
        steps.append({"la": la, "time": time, "istat": [r[0] for r in nres], "h": [r[1] for r in nres],
                      "q": [r[2] for r in nres], "dvx": [r[0] for r in eres], "dvy": [r[1] for r in eres],
                      "d": [r[2] for r in eres]})
    return {"title": title, "x": [n[0] for n in nodes], "y": [n[1] for n in nodes],
            "aux": [n[2] for n in nodes], "bl": [n[3] for n in nodes], "ncode": [n[4] for n in nodes],
            "ie": [e[:5] for e in elems], "elv": [e[5] for e in elems], "steps": steps}


def divide(a, b):
    """IEEE division as the programs do it: x/0 is inf or nan, not an exception."""
    if b != 0:
        return a / b
    if a == 0 or math.isnan(a):
        return math.nan
    return math.copysign(math.inf, a) * math.copysign(1.0, b)


def corner_count(ie):
    """Corners of the velocity averaging: a triangle only when the fourth repeats the third."""
    return 3 if ie[2] == ie[3] else 4


def drawn_corners(ie):
    """Corners of a cell: a fourth corner of 0 makes a triangle too."""
    return 3 if ie[2] == ie[3] or ie[3] == 0 else 4


def node_averages(res, step):
    """Node means of DVX, DVY, DVX/D, DVY/D over the active elements (valid corners only)."""
    n = len(res["x"])
    sums = [[0.0, 0.0, 0.0, 0.0] for _ in range(n)]
    count = [0] * n
    for e, ie in enumerate(res["ie"]):
        if ie[4] <= 0:
            continue
        dvx, dvy, d = step["dvx"][e], step["dvy"][e], step["d"][e]
        vx, vy = divide(dvx, d), divide(dvy, d)
        for c in ie[:corner_count(ie)]:
            if 1 <= c <= n:
                s = sums[c - 1]
                s[0] += dvx
                s[1] += dvy
                s[2] += vx
                s[3] += vy
                count[c - 1] += 1
    return [[v / count[i] for v in sums[i]] if count[i] else [0.0] * 4 for i in range(n)]


def drawable(res, ie):
    return all(1 <= c <= len(res["x"]) for c in ie[:drawn_corners(ie)])
