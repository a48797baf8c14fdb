"""postvtk's netCDF file read back with the netCDF library (Python's netCDF4) and
xarray, and checked against the result file it comes from: the file's form, the
mesh of the active elements (triangles with a missing fourth corner), every value
of every step bit for bit (and its 32-bit rounding with --single), the times and
their units, a run cut inside a step, and a result file with D = 0 and elements
that cannot be drawn.

usage: /usr/bin/python3 netcdf_readers_test.py BIN_DIR   (BIN_DIR holds postvtk and resultgen)
Exits 77 (skipped) when netCDF4, xarray or numpy cannot be imported.
"""
import os
import subprocess
import sys
import tempfile

try:
    import netCDF4
    import numpy as np
    import xarray as xr
except ImportError as error:
    print(f"SKIPPED: netCDF4, xarray or numpy is not available for {sys.executable} ({error});"
          " install Debian's python3-netcdf4 and python3-xarray to run this test")
    sys.exit(77)

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from result_records import (check, divide, drawable, drawn_corners, failures, finish,  # noqa: E402
                            node_averages, program, read_result)

BIN = os.path.abspath(sys.argv[1])


def run(*args):
    return subprocess.run(args, capture_output=True, text=True)


def postvtk(*args):
    return run(*program(BIN, "postvtk"), *args)


def same_bits(where, got, want, dtype=np.float64):
    """Every value of `got` has the bits of `want` rounded to `dtype`."""
    got = np.ascontiguousarray(got).reshape(-1)
    want = np.asarray(want, dtype=np.float64).astype(dtype).reshape(-1)
    if got.dtype != want.dtype or got.shape != want.shape:
        failures.append(f"{where}: {got.dtype} {got.shape}, expected {want.dtype} {want.shape}")
        return
    bits = np.dtype(f"u{got.itemsize}")
    bad = np.flatnonzero(got.view(bits) != want.view(bits))
    if bad.size:
        i = bad[0]
        failures.append(f"{where}: {bad.size} value(s) differ, the first at {i}: {got[i]!r}, expected {want[i]!r}")


def finite_or_nan(values):
    return [v if np.isfinite(v) else np.nan for v in values]


def expected_faces(res):
    """Element numbers of the faces: active elements that can be drawn."""
    return [e + 1 for e, ie in enumerate(res["ie"]) if ie[4] > 0 and drawable(res, ie)]


def check_file(path, res, steps, shift=(0.0, 0.0), single=False, time_unit="seconds",
               start="2000-01-01 00:00:00"):
    """The netCDF file at `path` holds the mesh of `res` and exactly `steps`."""
    where = os.path.basename(path) + (" (single)" if single else "")
    real = np.float32 if single else np.float64
    with netCDF4.Dataset(path) as nc:
        check(nc.data_model == "NETCDF3_64BIT_OFFSET", f"{where}: form {nc.data_model}")
        check(nc.Conventions == "CF-1.8 UGRID-1.0", f"{where}: Conventions {nc.Conventions!r}")
        check(nc.title == res["title"].decode("ascii").rstrip(), f"{where}: title {nc.title!r}")
    ds = xr.open_dataset(path, decode_times=False, mask_and_scale=False)
    faces = expected_faces(res)
    check(ds.sizes["node"] == len(res["x"]) and ds.sizes["face"] == len(faces) and
          ds.sizes["element"] == len(res["ie"]) and ds.sizes["time"] == len(steps),
          f"{where}: sizes {dict(ds.sizes)}")
    if failures:
        return

    mesh = ds["mesh"].attrs
    check(mesh.get("cf_role") == "mesh_topology" and mesh.get("topology_dimension") == 2 and
          mesh.get("node_coordinates") == "node_x node_y" and mesh.get("face_node_connectivity") == "face_nodes",
          f"{where}: mesh attributes {mesh}")
    same_bits(f"{where} node_x", ds["node_x"], np.asarray(res["x"]) + shift[0])
    same_bits(f"{where} node_y", ds["node_y"], np.asarray(res["y"]) + shift[1])
    connectivity = ds["face_nodes"]
    check(connectivity.attrs.get("start_index") == 1 and connectivity.attrs.get("_FillValue") == -1,
          f"{where}: face_nodes attributes {connectivity.attrs}")
    want_corners = []
    for e in faces:
        ie = res["ie"][e - 1]
        k = drawn_corners(ie)
        want_corners.append(list(ie[:k]) + [-1] * (4 - k))
    check(connectivity.values.tolist() == want_corners, f"{where}: face_nodes differ")
    check(ds["face_element"].values.tolist() == faces, f"{where}: face_element differs")
    check(ds["face_property"].values.tolist() == [res["ie"][e - 1][4] for e in faces], f"{where}: face_property")
    same_bits(f"{where} face_ELV", ds["face_ELV"], [res["elv"][e - 1] for e in faces], real)
    same_bits(f"{where} AUX", ds["AUX"], res["aux"], real)
    same_bits(f"{where} BL", ds["BL"], res["bl"], real)
    check(ds["NCODE"].values.tolist() == res["ncode"], f"{where}: NCODE differs")
    check(ds["element_nodes"].values.tolist() == [list(ie[:4]) for ie in res["ie"]], f"{where}: element_nodes")
    check(ds["element_property"].values.tolist() == [ie[4] for ie in res["ie"]], f"{where}: element_property")
    same_bits(f"{where} element_ELV", ds["element_ELV"], res["elv"], real)

    time = ds["time"]
    check(time.attrs.get("units") == f"{time_unit} since {start}", f"{where}: time units {time.attrs.get('units')!r}")
    same_bits(f"{where} time", time, [s["time"] for s in steps])
    same_bits(f"{where} TIME", ds["TIME"], [s["time"] for s in steps])
    check(ds["step"].values.tolist() == [s["la"] for s in steps], f"{where}: step numbers")
    for k, step in enumerate(steps):
        at = f"{where} step {k + 1}"
        averages = node_averages(res, step)
        same_bits(f"{at} H", ds["H"][k], step["h"], real)
        same_bits(f"{at} Q", ds["Q"][k], step["q"], real)
        same_bits(f"{at} ISTAT", ds["ISTAT"][k], step["istat"])
        same_bits(f"{at} velocity_x", ds["velocity_x"][k], finite_or_nan([a[2] for a in averages]), real)
        same_bits(f"{at} velocity_y", ds["velocity_y"][k], finite_or_nan([a[3] for a in averages]), real)
        same_bits(f"{at} D_velocity_x", ds["D_velocity_x"][k], finite_or_nan([a[0] for a in averages]), real)
        same_bits(f"{at} D_velocity_y", ds["D_velocity_y"][k], finite_or_nan([a[1] for a in averages]), real)
        slots = [e - 1 for e in faces]
        same_bits(f"{at} face_velocity_x", ds["face_velocity_x"][k],
                  finite_or_nan([divide(step["dvx"][e], step["d"][e]) for e in slots]), real)
        same_bits(f"{at} face_velocity_y", ds["face_velocity_y"][k],
                  finite_or_nan([divide(step["dvy"][e], step["d"][e]) for e in slots]), real)
        same_bits(f"{at} face_D", ds["face_D"][k], [step["d"][e] for e in slots], real)
        same_bits(f"{at} element_DVX", ds["element_DVX"][k], step["dvx"], real)
        same_bits(f"{at} element_DVY", ds["element_DVY"][k], step["dvy"], real)
        same_bits(f"{at} element_D", ds["element_D"][k], step["d"], real)
    ds.close()


def main():
    with tempfile.TemporaryDirectory() as work:
        os.chdir(work)
        subprocess.run([*program(BIN, "resultgen"), "sample", "--out", "SAMPLE.RES"], check=True, capture_output=True)
        res = read_result("SAMPLE.RES")
        check(any(ie[4] <= 0 for ie in res["ie"]) and any(ie[2] == ie[3] for ie in res["ie"]),
              "the sample holds no inactive element or no triangle")

        # Every step, placed on a calendar in hours, on a map with a shift.
        result = postvtk("SAMPLE.RES", "--netcdf-only", "-o", "out", "--crs", "EPSG:6677", "--shift", "1000.5,-2000",
                         "--time-unit", "hour", "--start", "2020-04-01")
        check(result.returncode == 0, f"postvtk --netcdf-only: status {result.returncode}: {result.stderr}")
        check(sorted(os.listdir("out")) == ["SAMPLE.nc"], f"--netcdf-only wrote {sorted(os.listdir('out'))}")
        check_file("out/SAMPLE.nc", res, res["steps"], shift=(1000.5, -2000.0), time_unit="hours",
                   start="2020-04-01 00:00:00")
        with netCDF4.Dataset("out/SAMPLE.nc") as nc:
            crs = nc["projected_coordinate_system"]
            check(crs.epsg == 6677 and crs.EPSG_code == "EPSG:6677" and crs.epsg_code == "EPSG:6677",
                  "coordinate system attributes")
            check(nc["H"].grid_mapping == "projected_coordinate_system", "H has no grid_mapping")
        # xarray places the steps on the calendar: TIME hours after the start.
        with xr.open_dataset("out/SAMPLE.nc") as decoded:
            want = [np.datetime64("2020-04-01") + np.timedelta64(int(round(s["time"] * 3600)), "s")
                    for s in res["steps"]]
            check(list(decoded["time"].values) == [np.datetime64(t, "ns") for t in want],
                  f"calendar times {decoded['time'].values}")

        # 32-bit reals: every value the 32-bit rounding of the result file's; about half the size.
        result = postvtk("SAMPLE.RES", "--netcdf-only", "-o", "single", "--single")
        check(result.returncode == 0, f"--single: status {result.returncode}: {result.stderr}")
        check_file("single/SAMPLE.nc", res, res["steps"], single=True)
        ratio = os.path.getsize("single/SAMPLE.nc") / os.path.getsize("out/SAMPLE.nc")
        check(0.5 < ratio < 0.65, f"--single: {ratio:.2f} of the size")

        # Chosen steps beside the VTK files.
        result = postvtk("SAMPLE.RES", "--netcdf", "-o", "two", "--steps", "2,4")
        check(result.returncode == 0, f"--steps 2,4: status {result.returncode}: {result.stderr}")
        check("SAMPLE.pvd" in os.listdir("two"), "--netcdf: no .pvd beside the netCDF file")
        check_file("two/SAMPLE.nc", res, [s for s in res["steps"] if s["la"] in (2, 4)])

        # A file cut inside its fourth step: the first three steps, and the fault says so.
        data = open("SAMPLE.RES", "rb").read()
        step_bytes = 20 + (20 * len(res["x"]) + 8) + (24 * len(res["ie"]) + 8)
        open("CUT.RES", "wb").write(data[:len(data) - step_bytes - step_bytes // 2])
        result = postvtk("CUT.RES", "--netcdf-only", "-o", "cut")
        check(result.returncode == 2, f"cut file: status {result.returncode}")
        check(result.stderr.splitlines()[0].endswith("; cut/CUT.nc holds the 3 step(s) written before the fault"),
              f"cut file: {result.stderr!r}")
        check(sorted(os.listdir("cut")) == ["CUT.nc"], f"cut file left {sorted(os.listdir('cut'))}")
        check_file("cut/CUT.nc", res, res["steps"][:3])

        # D = 0 (velocities NaN), a triangle stored with a fourth corner 0, an
        # element with a corner beyond the nodes (no face) and an inactive one.
        with open("ODD.txt", "w") as f:
            f.write("title ODD CASES\n")
            for x, y in [(0, 0), (1, 0), (1, 1), (0, 1), (2, 0)]:
                f.write(f"node {x} {y} 0.5 -1 3\n")
            f.write("elem 1 2 3 4 1 0.25\nelem 2 5 3 0 2 0\nelem 2 5 9 3 1 0\nelem 1 3 4 4 0 0\n")
            f.write("step 7 0.5\nn 1 10 0.1\nn 2 11 0.2\nn 3 12 0.3\nn 4 13 0.4\nn 5 14 0.5\n")
            f.write("e 1 2 0\ne 0 0 0\ne 1 1 1\ne -1 0 2\n")
        subprocess.run([*program(BIN, "resultgen"), "text", "ODD.txt", "ODD.RES"], check=True, capture_output=True)
        result = postvtk("ODD.RES", "--netcdf-only", "-o", "odd")
        check(result.returncode == 0, f"odd cases: status {result.returncode}: {result.stderr}")
        odd = read_result("ODD.RES")
        check(expected_faces(odd) == [1, 2], f"odd cases: faces {expected_faces(odd)}")
        check_file("odd/ODD.nc", odd, odd["steps"])
    finish("netCDF reader")


main()
