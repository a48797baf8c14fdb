"""postvtk's browser view (--html), checked in two ways:
1. the values packed into the page, unpacked here with Python's zlib, are the
   result file's values as 32-bit reals, step by step and field by field, with the
   colour ranges of every step and of the run;
2. headless Chromium draws the page: the colours at interior nodes are their heads
   read through the drawn colour bar, the slider moves to the last step (its number,
   TIME and colours), hovering names the node and its head, a cell whose velocity
   is not a finite number is grey without spoiling the range, and the console
   stays free of errors.

usage: /usr/bin/python3 html_view_test.py BIN_DIR     (BIN_DIR holds postvtk and resultgen)
Exits 77 (skipped) after the first part when there is no chromium.
"""
import base64
import json
import math
import os
import re
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_chromium import Browser, find_chromium, read_png  # noqa: E402
from result_records import check, divide, failures, program, read_result  # noqa: E402

BIN = os.path.abspath(sys.argv[1])

def f32(value):
    """The 32-bit real nearest to a double, as the page holds it."""
    try:
        return struct.unpack("<f", struct.pack("<f", value))[0]
    except OverflowError:
        return math.copysign(math.inf, value)


def same(a, b):
    return a == b or (math.isnan(a) and math.isnan(b))


# ---- the page's data, read independently of its script -------------------------

def page_data(path):
    html = open(path, encoding="ascii").read()
    return json.loads(re.search(r'<script type="application/json" id="gw-data">(.*?)</script>', html, re.S).group(1))


def unpack(field, count):
    """Every step's values: inflate, join the byte planes, undo zigzag and prediction."""
    steps, previous, before = [], [0] * count, [0] * count
    for packed, prediction in zip(field["packed"], field["predictions"]):
        planes = zlib.decompress(base64.b64decode(packed), -15)
        assert len(planes) == 4 * count, (len(planes), count)
        bits = []
        for i in range(count):
            z = planes[i] | planes[count + i] << 8 | planes[2 * count + i] << 16 | planes[3 * count + i] << 24
            residual = (z >> 1) ^ -(z & 1)
            guess = previous[i] if prediction == 0 else 2 * previous[i] - before[i]
            bits.append((guess + residual) & 0xFFFFFFFF)
        before, previous = previous, bits
        steps.append(list(struct.unpack(f"<{count}f", struct.pack(f"<{count}I", *bits))))
    return steps


def view_cells(res):
    """(element number, corners from 0, active) of the elements the view draws."""
    cells = []
    for e, ie in enumerate(res["ie"], 1):
        k = 3 if ie[2] == ie[3] or ie[3] == 0 else 4
        if all(1 <= n <= len(res["x"]) for n in ie[:k]):
            cells.append((e, [n - 1 for n in ie[:k]], ie[4] > 0))
    return cells


def expected_fields(res, cells):
    """Per field the values of every step as the page should hold them."""
    def velocity(step, e):
        vx, vy = divide(step["dvx"][e], step["d"][e]), divide(step["dvy"][e], step["d"][e])
        return math.sqrt(vx * vx + vy * vy)
    return {
        "H": [[f32(v) for v in s["h"]] for s in res["steps"]],
        "Q": [[f32(v) for v in s["q"]] for s in res["steps"]],
        "velocity": [[f32(velocity(s, e - 1)) for e, _, _ in cells] for s in res["steps"]],
        "D": [[f32(s["d"][e - 1]) for e, _, _ in cells] for s in res["steps"]],
    }


def finite_range(values, used):
    finite = [v for v, u in zip(values, used) if u and math.isfinite(v)]
    return [min(finite), max(finite)] if finite else None


def check_data(page, res):
    cells = view_cells(res)
    check(page["nodes"] == len(res["x"]) and page["cells"] == len(cells), "node and cell counts")
    check(page["la"] == [s["la"] for s in res["steps"]], "step numbers")
    check(page["time"] == [s["time"] for s in res["steps"]], "step times")
    check(base64.b64decode(page["title"]) == res["title"], "title bytes")
    corners = struct.unpack(f"<{4 * len(cells)}i", base64.b64decode(page["corners"]))
    want = [n for _, c, _ in cells for n in (c + [-1] if len(c) == 3 else c)]
    check(list(corners) == want, "cell corners")
    node_used = [False] * len(res["x"])
    for _, c, active in cells:
        for n in c:
            node_used[n] = node_used[n] or active
    cell_used = [active for _, _, active in cells]
    expected = expected_fields(res, cells)
    for field in page["fields"]:
        key = field["key"]
        got = unpack(field, page["nodes"] if field["perNode"] else page["cells"])
        used = node_used if field["perNode"] else cell_used
        for s, (g, w) in enumerate(zip(got, expected[key])):
            bad = [i for i, (a, b) in enumerate(zip(g, w)) if not same(a, b)]
            check(not bad, f"{key} step {s + 1}: {len(bad)} values differ, first at {bad[:1]}")
            check(field["ranges"][s] == finite_range(w, used), f"{key} step {s + 1}: range {field['ranges'][s]}")
        ranges = [r for r in field["ranges"] if r]
        overall = [min(r[0] for r in ranges), max(r[1] for r in ranges)] if ranges else None
        check(field["overall"] == overall, f"{key}: overall range {field['overall']}")
    return cells


# ---- the page in the browser ---------------------------------------------------

def run_postvtk(*args):
    done = subprocess.run([*program(BIN, "postvtk"), *args], capture_output=True, text=True)
    check(done.returncode == 0, f"postvtk {' '.join(args)}: status {done.returncode}: {done.stderr}")


def next_frame(page):
    page.evaluate("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))")


class Shot:
    """A screenshot with the page's colour bar read from it as (colour, value) pairs."""

    def __init__(self, page, lo, hi):
        _, _, self.rows = read_png(page.screenshot())
        bar = page.evaluate("(() => { const r = document.getElementById('bar').getBoundingClientRect();"
                            " return [r.left, r.top, r.width, r.height]; })()")
        left, top, width, height = bar
        x = int(left + width / 2)
        self.scale = []
        for y in range(int(math.ceil(top + 2)), int(top + height - 2)):
            level = 255 - int((y + 0.5 - top) * 256 / height)
            self.scale.append((self.rows[y][x], lo + (hi - lo) * level / 255))

    def pixel(self, x, y):
        return self.rows[int(y)][int(x)]

    def value_of(self, colour):
        """The value whose bar colour is nearest, and how far that colour is."""
        def distance(c):
            return sum((a - b) ** 2 for a, b in zip(c, colour))
        entry = min(self.scale, key=lambda e: distance(e[0]))
        return entry[1], math.sqrt(distance(entry[0]))


def interior_active_nodes(res, cells, count):
    """Up to `count` nodes, spread over the mesh, with at least four cells around
    them, all active."""
    around = {}
    for _, c, active in cells:
        for n in c:
            around.setdefault(n, []).append(active)
    nodes = sorted(n for n, a in around.items() if len(a) >= 4 and all(a))
    return nodes[:: max(1, len(nodes) // count)][:count]


def check_colours(page, res, nodes, step, what):
    heads = [f32(h) for h in res["steps"][step]["h"]]
    lo, hi = page.evaluate("window.gwView.state().range")
    shot = Shot(page, lo, hi)
    for n in nodes:
        x, y = page.evaluate(f"window.gwView.toClient({res['x'][n]!r}, {res['y'][n]!r})")
        value, off = shot.value_of(shot.pixel(x, y))
        check(off < 12, f"{what}: node {n + 1} has colour {shot.pixel(x, y)}, not on the colour bar")
        check(abs(value - heads[n]) <= 0.02 * (hi - lo),
              f"{what}: node {n + 1} reads {value:.4f} through the colour bar, its head is {heads[n]:.4f}")


def check_sample_in_browser(browser, path, res, cells):
    page = browser.open_page("file://" + path)
    page.evaluate("window.gwView.ready.then(() => window.gwView.unpacked).then(() => 0)")
    node_used = set(n for _, c, active in cells if active for n in c)
    heads = [f32(s["h"][n]) for s in res["steps"] for n in node_used]
    expected_range = [min(heads), max(heads)]
    state = page.evaluate("window.gwView.state()")
    check(state["field"] == "H" and state["step"] == 0, f"first view: {state}")
    check(state["range"] == expected_range, f"H range {state['range']}, expected {expected_range} over all steps")
    check(page.evaluate("document.getElementById('title').textContent") == res["title"].decode().rstrip(), "title shown")
    nodes = interior_active_nodes(res, cells, 12)
    check(len(nodes) >= 6, f"only {len(nodes)} interior nodes to look at")
    check_colours(page, res, nodes, 0, "step 1")

    # The slider's right end is the last step.
    left, top, width, height = page.evaluate(
        "(() => { const r = document.getElementById('slider').getBoundingClientRect();"
        " return [r.left, r.top, r.width, r.height]; })()")
    page.click(left + width - 2, top + height / 2)
    next_frame(page)
    last = res["steps"][-1]
    line = page.evaluate("document.getElementById('step-line').textContent")
    want = f"step {last['la']}   ({len(res['steps'])} of {len(res['steps'])})   TIME = {last['time']:g}"
    check(line == want, f"after the slider: step line '{line}', expected '{want}'")
    check_colours(page, res, nodes, len(res["steps"]) - 1, "last step")

    # Hovering over a node names it with its head.
    n = nodes[len(nodes) // 2]
    x, y = page.evaluate(f"window.gwView.toClient({res['x'][n]!r}, {res['y'][n]!r})")
    page.move_mouse(x, y)
    next_frame(page)
    hover = page.evaluate("document.getElementById('hover').hidden ? '' : document.getElementById('hover').textContent")
    head = float(f"{f32(last['h'][n]):.7g}")
    check(hover.startswith(f"node {n + 1} ") and f"H = {head!r}" in hover,
          f"hover over node {n + 1}: '{hover}', expected its head {head!r}")
    check(not page.console_errors, f"console errors: {page.console_errors}")


ZERO_D = """title ZERO D
node 0 0 0 0 0
node 1 0 0 0 0
node 2 0 0 0 0
node 0 1 0 0 0
node 1 1 0 0 0
node 2 1 0 0 0
elem 1 2 5 4 1 0
elem 2 3 6 5 1 0
step 1 1.0
n 1 1 0
n 1 2 0
n 1 3 0
n 1 1 0
n 1 2 0
n 1 3 0
e 1 0 0
e 3 4 1
"""


def check_zero_divisor_in_browser(browser, path):
    page = browser.open_page("file://" + path)
    page.evaluate("window.gwView.ready.then(() => window.gwView.unpacked).then(() => 0)")
    page.evaluate("(() => { const s = document.getElementById('field'); s.value = '2';"
                  " s.dispatchEvent(new Event('change')); })()")
    next_frame(page)
    state = page.evaluate("window.gwView.state()")
    check(state["field"] == "velocity" and state["range"] == [5, 5],
          f"velocity with D = 0 in one cell: {state}, expected the range of the other cell, [5, 5]")
    ticks = page.evaluate("document.getElementById('ticks').textContent")
    check(re.fullmatch(r"[-\u2013 0-9.e+]+", ticks) is not None, f"colour bar labels '{ticks}'")
    shot = Shot(page, 5, 5)
    x, y = page.evaluate("window.gwView.toClient(0.5, 0.5)")
    check(shot.pixel(x, y) == (128, 128, 128), f"cell with D = 0: colour {shot.pixel(x, y)}, expected grey")
    x, y = page.evaluate("window.gwView.toClient(1.5, 0.5)")
    check(shot.value_of(shot.pixel(x, y))[1] < 12, f"the other cell: colour {shot.pixel(x, y)} is not on the bar")
    check(not page.console_errors, f"console errors: {page.console_errors}")


def main():
    with tempfile.TemporaryDirectory() as work:
        os.chdir(work)
        subprocess.run([*program(BIN, "resultgen"), "sample", "--out", "SAMPLE.RES"], check=True, capture_output=True)
        run_postvtk("SAMPLE.RES", "--html-only", "-o", "out")
        with open("zero.txt", "w") as f:
            f.write(ZERO_D)
        subprocess.run([*program(BIN, "resultgen"), "text", "zero.txt", "ZERO.RES"], check=True)
        run_postvtk("ZERO.RES", "--html-only", "-o", "out")
        sample, zero = read_result("SAMPLE.RES"), read_result("ZERO.RES")
        cells = check_data(page_data("out/SAMPLE.html"), sample)
        check_data(page_data("out/ZERO.html"), zero)
        if failures:
            return 1
        if not find_chromium():
            print("SKIPPED: no chromium for the browser part (Debian's chromium package)")
            return 77
        with Browser(width=900, height=600) as browser:
            check_sample_in_browser(browser, os.path.abspath("out/SAMPLE.html"), sample, cells)
            check_zero_divisor_in_browser(browser, os.path.abspath("out/ZERO.html"))
    if failures:
        print(f"{len(failures)} failure(s)")
        return 1
    print("all browser view checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
