"""postvtk's netCDF file opened in ParaView through the reader description that
the release carries (postvtk/paraview/ugrid_netcdf_reader.xml, loaded as a
plugin), and with VTK's UGRID reader class alone, as a pvpython script would:
both find every time, the node and face arrays, and the heads of three nodes.

usage: pvbatch netcdf_paraview_test.py BIN_DIR PLUGIN_XML   (reading needs no display)
Exits 77 (skipped) when ParaView's Python modules cannot be imported.
"""
import os
import subprocess
import sys
import tempfile

try:
    from paraview import servermanager
    from paraview import simple as pv
    from vtkmodules.vtkIONetCDF import vtkNetCDFUGRIDReader
except ImportError as error:
    print(f"SKIPPED: ParaView's Python modules are not available ({error}); install Debian's python3-paraview")
    sys.exit(77)

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from result_records import check, finish, program, read_result  # noqa: E402

BIN = os.path.abspath(sys.argv[1])
PLUGIN = os.path.abspath(sys.argv[2])

NODE_ARRAYS = ["AUX", "BL", "NCODE", "H", "Q", "ISTAT", "velocity_x", "velocity_y", "D_velocity_x", "D_velocity_y"]
FACE_ARRAYS = ["face_element", "face_property", "face_ELV", "face_velocity_x", "face_velocity_y", "face_D"]


def array_names(data):
    return ([data.GetPointData().GetArrayName(i) for i in range(data.GetPointData().GetNumberOfArrays())],
            [data.GetCellData().GetArrayName(i) for i in range(data.GetCellData().GetNumberOfArrays())])


def check_step(how, data, res, k, faces):
    step = res["steps"][k]
    check(data.GetNumberOfPoints() == len(res["x"]) and data.GetNumberOfCells() == faces,
          f"{how}: {data.GetNumberOfPoints()} points, {data.GetNumberOfCells()} cells")
    check(array_names(data) == (NODE_ARRAYS, FACE_ARRAYS), f"{how}: arrays {array_names(data)}")
    heads = data.GetPointData().GetArray("H")
    for n in (0, len(res["x"]) // 2, len(res["x"]) - 1):
        check(heads.GetValue(n) == step["h"][n], f"{how}: H of node {n + 1} at step {k + 1}: {heads.GetValue(n)}")
        check(data.GetPoint(n)[:2] == (res["x"][n], res["y"][n]), f"{how}: point {n + 1} at {data.GetPoint(n)}")


def main():
    with tempfile.TemporaryDirectory() as work:
        os.chdir(work)
        subprocess.run([*program(BIN, "resultgen"), "sample", "--out", "RUN.RES"], check=True, capture_output=True)
        result = subprocess.run([*program(BIN, "postvtk"), "RUN.RES", "--netcdf-only"], capture_output=True, text=True)
        check(result.returncode == 0, f"postvtk: status {result.returncode}: {result.stderr}")
        res = read_result("RUN.RES")
        times = [s["time"] for s in res["steps"]]
        faces = sum(1 for ie in res["ie"] if ie[4] > 0)
        path = os.path.join(work, "RUN.nc")

        # The reader of the release's plugin description, as File > Open uses it.
        pv.LoadPlugin(PLUGIN, ns=globals())
        reader = globals()["UGRIDMeshReader"](FileName=path)
        reader.UpdatePipelineInformation()
        check(list(reader.TimestepValues) == times, f"plugin: times {list(reader.TimestepValues)}")
        for k in (0, len(times) - 1):
            reader.UpdatePipeline(times[k])
            check_step("plugin", servermanager.Fetch(reader), res, k, faces)

        # VTK's reader class, as a pvpython script opens the file.
        raw = vtkNetCDFUGRIDReader()
        raw.SetFileName(path)
        raw.UpdateInformation()
        raw.UpdateTimeStep(times[2])
        check_step("class", raw.GetOutput(), res, 2, faces)
    finish("ParaView netCDF")


main()
