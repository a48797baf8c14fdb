"""postvtk's files read back with VTK's own XML reader and checked against the
result file they come from: counts, cell types and corners, every array by name
and value (NaN where a value is not a finite number), the title, and the times of
the collection file, in binary and in ascii.

usage: /usr/bin/python3 vtk_reader_test.py BIN_DIR   (BIN_DIR holds postvtk and resultgen)
Exits 77 (skipped) when the vtk module cannot be imported.
"""
import math
import math
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET


try:
    import vtk
except ImportError as error:
    print(f"SKIPPED: the vtk module is not available for {sys.executable} ({error});"
          " install Debian's python3-paraview to run this test")
    sys.exit(77)

vtk.vtkObject.GlobalWarningDisplayOff()

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from result_records import (check, divide, drawable, drawn_corners, failures, finish, node_averages,  # noqa: E402
                            program, read_result)

BIN = os.path.abspath(sys.argv[1])


# ---- comparison --------------------------------------------------------------

def same(a, b):
    if not math.isfinite(b):
        return math.isnan(a)  # written as NaN, in binary and in text
    return a == b or abs(a - b) <= 1e-13 * max(abs(a), abs(b))


def compare_array(where, array, expected, components):
    if array is None:
        failures.append(f"{where}: missing")
        return
    check(array.GetNumberOfComponents() == components,
          f"{where}: {array.GetNumberOfComponents()} components, expected {components}")
    check(array.GetNumberOfTuples() == len(expected),
          f"{where}: {array.GetNumberOfTuples()} tuples, expected {len(expected)}")
    bad = 0
    for i, want in enumerate(expected[:array.GetNumberOfTuples()]):
        want = want if isinstance(want, (list, tuple)) else [want]
        got = array.GetTuple(i)
        if not all(same(g, w) for g, w in zip(got, want)):
            if bad < 3:
                failures.append(f"{where}[{i}]: {got}, expected {want}")
            bad += 1
    check(bad == 0, f"{where}: {bad} wrong tuple(s)")


def read_grid(path):
    reader = vtk.vtkXMLUnstructuredGridReader()
    reader.SetFileName(path)
    reader.Update()
    return reader.GetOutput()


def check_step_file(path, res, step, ascii_mode, time_value):
    where = os.path.basename(path) + (" (ascii)" if ascii_mode else "")
    grid = read_grid(path)
    n = len(res["x"])
    kept = [e for e, ie in enumerate(res["ie"]) if drawable(res, ie)]
    check(grid.GetNumberOfPoints() == n, f"{where}: {grid.GetNumberOfPoints()} points, expected {n}")
    check(grid.GetNumberOfCells() == len(kept), f"{where}: {grid.GetNumberOfCells()} cells, expected {len(kept)}")
    if grid.GetNumberOfPoints() != n or grid.GetNumberOfCells() != len(kept):
        return

    for i in range(n):
        if grid.GetPoint(i) != (res["x"][i], res["y"][i], 0.0):
            failures.append(f"{where}: point {i} at {grid.GetPoint(i)}")
            break
    for c, e in enumerate(kept):
        ie = res["ie"][e]
        k = drawn_corners(ie)
        want_type = vtk.VTK_TRIANGLE if k == 3 else vtk.VTK_QUAD
        cell = grid.GetCell(c)
        ids = [cell.GetPointId(j) for j in range(cell.GetNumberOfPoints())]
        if grid.GetCellType(c) != want_type or ids != [v - 1 for v in ie[:k]]:
            failures.append(f"{where}: cell {c} (element {e + 1}) type {grid.GetCellType(c)} corners {ids}")
            break

    pd = grid.GetPointData()
    names = [pd.GetArrayName(i) for i in range(pd.GetNumberOfArrays())]
    check(names == ["H", "Q", "BL", "velocity", "velocity_magnitude", "D_velocity", "D_velocity_magnitude",
                     "ISTAT", "AUX", "NCODE"], f"{where}: point arrays {names}")
    avg = node_averages(res, step)
    compare_array(f"{where} H", pd.GetArray("H"), step["h"], 1)
    compare_array(f"{where} Q", pd.GetArray("Q"), step["q"], 1)
    compare_array(f"{where} BL", pd.GetArray("BL"), res["bl"], 1)
    compare_array(f"{where} ISTAT", pd.GetArray("ISTAT"), step["istat"], 1)
    compare_array(f"{where} AUX", pd.GetArray("AUX"), res["aux"], 1)
    compare_array(f"{where} NCODE", pd.GetArray("NCODE"), res["ncode"], 1)
    compare_array(f"{where} velocity", pd.GetArray("velocity"), [[a[2], a[3], 0.0] for a in avg], 3)
    compare_array(f"{where} velocity_magnitude", pd.GetArray("velocity_magnitude"),
                  [math.sqrt(a[2] * a[2] + a[3] * a[3]) for a in avg], 1)
    compare_array(f"{where} D_velocity", pd.GetArray("D_velocity"), [[a[0], a[1], 0.0] for a in avg], 3)
    compare_array(f"{where} D_velocity_magnitude", pd.GetArray("D_velocity_magnitude"),
                  [math.sqrt(a[0] * a[0] + a[1] * a[1]) for a in avg], 1)

    cd = grid.GetCellData()
    names = [cd.GetArrayName(i) for i in range(cd.GetNumberOfArrays())]
    check(names == ["velocity", "D_velocity", "D", "property", "element", "ELV", "active"],
          f"{where}: cell arrays {names}")
    compare_array(f"{where} cell velocity", cd.GetArray("velocity"),
                  [[divide(step["dvx"][e], step["d"][e]), divide(step["dvy"][e], step["d"][e]), 0.0] for e in kept],
                  3)
    compare_array(f"{where} cell D_velocity", cd.GetArray("D_velocity"),
                  [[step["dvx"][e], step["dvy"][e], 0.0] for e in kept], 3)
    compare_array(f"{where} D", cd.GetArray("D"), [step["d"][e] for e in kept], 1)
    compare_array(f"{where} property", cd.GetArray("property"), [res["ie"][e][4] for e in kept], 1)
    compare_array(f"{where} element", cd.GetArray("element"), [e + 1 for e in kept], 1)
    compare_array(f"{where} ELV", cd.GetArray("ELV"), [res["elv"][e] for e in kept], 1)
    compare_array(f"{where} active", cd.GetArray("active"), [int(res["ie"][e][4] > 0) for e in kept], 1)

    fd = grid.GetFieldData()
    compare_array(f"{where} TimeValue", fd.GetArray("TimeValue"), [time_value], 1)
    compare_array(f"{where} TIME", fd.GetArray("TIME"), [step["time"]], 1)
    compare_array(f"{where} step", fd.GetArray("step"), [step["la"]], 1)
    title = fd.GetAbstractArray("TITLE")
    check(title is not None and title.GetNumberOfValues() == 1 and title.GetValue(0) == res["title"].decode("ascii").rstrip(" "),
          f"{where}: TITLE {title.GetValue(0) if title else None!r}, expected {res['title']!r}")
    return grid


def run_postvtk(*args):
    done = subprocess.run([*program(BIN, "postvtk"), *args], capture_output=True, text=True)
    if done.returncode != 0:
        failures.append(f"postvtk {' '.join(args)}: status {done.returncode}: {done.stderr.strip()}")
    return done


def check_export(result_path, out_dir, base, extra, selected):
    """Runs postvtk and checks the collection and every step file it lists."""
    ascii_mode = "--ascii" in extra
    run_postvtk(result_path, "-o", out_dir, "--name", base, *extra)
    res = read_result(result_path)
    pvd = os.path.join(out_dir, base + ".pvd")
    if not os.path.exists(pvd):
        failures.append(f"{pvd} not written")
        return
    root = ET.parse(pvd).getroot()
    check(root.get("type") == "Collection", f"{pvd}: type {root.get('type')}")
    sets = root.findall("./Collection/DataSet")
    want = [(k, res["steps"][k]) for k in selected]
    check(len(sets) == len(want), f"{pvd}: {len(sets)} data sets, expected {len(want)}")
    for ds, (k, step) in zip(sets, want):
        time_value = k + 1 if "index" in extra else step["time"]
        check(float(ds.get("timestep")) == time_value, f"{pvd}: timestep {ds.get('timestep')} for {time_value}")
        check(ds.get("file") == f"{base}_{k + 1:04d}.vtu", f"{pvd}: file {ds.get('file')} for block {k + 1}")
        check_step_file(os.path.join(out_dir, ds.get("file")), res, step, ascii_mode, time_value)


def check_nan_velocity(path, cell):
    """The velocity of a cell whose element has D = 0 reads back as NaN."""
    velocity = read_grid(path).GetCellData().GetArray("velocity")
    got = velocity.GetTuple(cell) if velocity else None
    check(got is not None and math.isnan(got[0]) and math.isnan(got[1]), f"{path}: velocity of cell {cell}: {got}")


# A description with every case that matters to a reader: inactive elements
# (property 0 and below), triangles (one stored with a fourth corner of 0), a node
# touched only by inactive elements, elements left out for a corner outside
# 1..NUMNP (one active, whose valid corners still count in the averages), D = 0
# (no element results given for the last element; element 2 in the second step),
# repeated step numbers.
SPECIAL = """\
title SPECIAL CASES & <MARKUP>
node 0 0 0.125 -5 0
node 3 0 0 -5.5 1
node 3 3 -2e-7 -6 0
node 0 3 0 -6.25 -3
node 6 0 0 -7 0
node 6 3 0 -7 0
node 9 9 0 -8 2147483647
elem 1 2 3 4 1 0.5
elem 2 5 6 6 2 0
elem 2 6 3 3 0 -1.5
elem 3 6 7 7 -1 0
elem 1 2 99 4 1 0
elem 5 6 0 3 1 0
elem 5 7 6 0 3 1e10
step 10 0.5
n 3 1.5 0.1
n 0 2.5 0.2
n 0 3.5 0.3
n 0 4.5 0.4
n 0 5.5 0.5
n 0 6.5 0.6
n 0 7.5 0.7
e 1.0 0.5 2.0
e 3.0 -1.5 4.0
e 9.0 9.0 3.0
e 7.0 7.0 7.0
e 0.25 0.125 0.5
e -2.0 4.0 8.0
step 20 1.25
e 1.0 0.0 1.0
e 1.0 0.0 0.0
e 1.0 1.0 1.0
e 1.0 1.0 1.0
e 1.0 1.0 1.0
e 1.0 1.0 1.0
step 20 2.5
n 1 -1.0 1e-300
e 1e300 -1e300 1e-300
"""

with tempfile.TemporaryDirectory() as work:
    os.chdir(work)
    subprocess.run([*program(BIN, "resultgen"), "sample", "--nx", "14", "--ny", "9", "--steps", "4",
                    "--split-every", "3", "--seed", "7", "--out", "SAMPLE.RES"], check=True, capture_output=True)
    with open("special.txt", "w") as f:
        f.write(SPECIAL)
    subprocess.run([*program(BIN, "resultgen"), "text", "special.txt", "SPECIAL.RES"], check=True)

    check_export("SAMPLE.RES", "bin", "sample", [], [0, 1, 2, 3])
    check_export("SAMPLE.RES", "txt", "sample", ["--ascii"], [0, 1, 2, 3])
    check_export("SAMPLE.RES", "last", "sample", ["--steps", "last"], [3])
    check_export("SPECIAL.RES", "special", "s", [], [0, 1, 2])
    check_export("SPECIAL.RES", "special_txt", "s", ["--ascii"], [0, 1, 2])
    check_export("SPECIAL.RES", "twenty", "s", ["--steps", "20"], [1, 2])
    check_export("SPECIAL.RES", "index", "s", ["--time", "index", "--steps", "20"], [1, 2])
    for out_dir in ("special", "special_txt"):
        check_nan_velocity(os.path.join(out_dir, "s_0002.vtu"), 1)

finish("VTK read-back")
