"""Size and speed of the browser view at the converter's capacity: a result file of
44444 nodes, 44441 elements and 100 steps, written with `postvtk --html-only`, then
opened in headless Chromium. Prints the page size, the time to write it, the time
until the page shows its first picture (from the navigation, as the page measures
it, and as the driving script sees it), the time until every step is unpacked, a
jump to the last step right after opening, and step changes with the slider once
everything is unpacked. Every figure is the best (median for step changes) of
ROUNDS rounds, each in a fresh browser.

usage: /usr/bin/python3 bench/html_view.py [BUILD_DIR] [ROUNDS]   (default build/default, 3)
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "postvtk"))
from headless_chromium import Browser, find_chromium  # noqa: E402

BIN = os.path.join(os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "default")), "bin")
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 3

# One step change through the slider, timed from its input event to the frame
# after the new picture.
STEP_CHANGE = """(async (index) => {
  const slider = document.getElementById('slider');
  const t0 = performance.now();
  slider.value = String(index);
  slider.dispatchEvent(new Event('input', { bubbles: true }));
  await window.gwView.page.frame;
  await new Promise((r) => requestAnimationFrame(r));
  return performance.now() - t0;
})"""


def peak_run(args):
    """Runs a program; returns its wall seconds and peak resident memory in MB."""
    t0 = time.monotonic()
    child = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.monotonic() - t0
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        raise RuntimeError(f"{args[0]} ended with status {child.returncode}")
    return elapsed, usage.ru_maxrss / 1024


def write_page(work):
    big = os.path.join(work, "BIG.RES")
    subprocess.run([f"{BIN}/resultgen", "sample", "--nx", "271", "--ny", "164", "--steps", "100",
                    "--split-every", "102", "--out", big], check=True, capture_output=True)
    runs = [peak_run([f"{BIN}/postvtk", big, "--html-only", "-o", work]) for _ in range(ROUNDS)]
    with open(os.path.join(work, "warm.html"), "w") as f:
        f.write("<!DOCTYPE html><title>warm-up</title>")
    return os.path.join(work, "BIG.html"), min(r[0] for r in runs), max(r[1] for r in runs)


def open_round(path):
    with Browser(width=1200, height=800, timeout=120) as browser:
        # A small page from the same folder first, so that the browser's start is
        # not counted.
        browser.open_page("file://" + os.path.join(os.path.dirname(path), "warm.html"))
        t0 = time.monotonic()
        page = browser.open_page("file://" + path)
        shown_in_page = page.evaluate("window.gwView.ready.then(() => performance.now())")
        shown_wall = time.monotonic() - t0
        jump = page.evaluate(f"({STEP_CHANGE})(window.gwView.model.steps - 1)")
        unpacked = page.evaluate("window.gwView.unpacked.then(() => performance.now())")
        changes = [page.evaluate(f"({STEP_CHANGE})({k})") for k in (0, 50, 99, 10, 60, 30, 80, 20, 70, 40, 90, 5)]
        errors = page.console_errors
    return {"shown_in_page": shown_in_page / 1000, "shown_wall": shown_wall, "jump": jump,
            "unpacked": unpacked / 1000, "change_median": statistics.median(changes), "change_max": max(changes),
            "errors": errors}


def main():
    if not find_chromium():
        print("no chromium: install Debian's chromium package")
        return 1
    with tempfile.TemporaryDirectory() as work:
        path, write_s, peak_mb = write_page(work)
        size_mb = os.path.getsize(path) / 1e6
        rounds = [open_round(path) for _ in range(ROUNDS)]
    print(f"page of 44444 nodes, 44441 elements, 100 steps; best of {ROUNDS} round(s);"
          f" load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} processors")
    print(f"{'page size':34s} {size_mb:9.1f} MB")
    print(f"{'postvtk --html-only':34s} {write_s:9.2f} s   peak {peak_mb:.0f} MB")
    print(f"{'first picture, page clock':34s} {min(r['shown_in_page'] for r in rounds):9.2f} s   from the navigation")
    print(f"{'first picture, driver clock':34s} {min(r['shown_wall'] for r in rounds):9.2f} s   from the navigate command")
    print(f"{'every step unpacked':34s} {min(r['unpacked'] for r in rounds):9.2f} s   from the navigation")
    print(f"{'jump to the last step on opening':34s} {min(r['jump'] for r in rounds):9.0f} ms")
    print(f"{'step change, median':34s} {min(r['change_median'] for r in rounds):9.0f} ms")
    print(f"{'step change, slowest':34s} {min(r['change_max'] for r in rounds):9.0f} ms")
    errors = [e for r in rounds for e in r["errors"]]
    if errors:
        print("console errors:", errors)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
