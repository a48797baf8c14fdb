"""A result file cut inside its fifth step, written by postvtk into a folder that
holds the files of a longer earlier run, and opened with ParaView's own reader:
the run ends with status 2, the collection lists the four steps of this run only,
ParaView finds four times whose heads are those of the result file, and, with
--picture, a picture of the last one shows the head falling from left to right.

usage: pvbatch paraview_reader_test.py BIN_DIR [--picture]
       (BIN_DIR holds postvtk and resultgen; reading needs no display, the picture
       needs an X server: run it under with_x_server.sh)
Exits 77 (skipped) when ParaView's Python modules cannot be imported.
"""
import os
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

try:
    from paraview import servermanager
    from paraview import simple as pv
    from vtkmodules.vtkIOImage import vtkPNGReader
except ImportError as error:
    print(f"SKIPPED: ParaView's Python modules are not available ({error}); install Debian's python3-paraview")
    sys.exit(77)

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from result_records import check, finish, program, records  # noqa: E402

BIN = os.path.abspath(sys.argv[1])
PICTURE = "--picture" in sys.argv[2:]


def step_heads(recs, numnp, step):
    """LA, TIME and the heads of step block `step` (from 0)."""
    la, time = struct.unpack_from("<id", recs[5 + 3 * step][1])
    nodes = recs[6 + 3 * step][1]
    return la, time, [struct.unpack_from("<d", nodes, 20 * n + 4)[0] for n in range(numnp)]


def resultgen(*args):
    subprocess.run([*program(BIN, "resultgen"), "sample", *args], check=True, capture_output=True)


def postvtk(*args):
    return subprocess.run([*program(BIN, "postvtk"), *args], capture_output=True, text=True)


def edge_colours(png):
    """Red minus blue near the left and the right end of the mesh, in the middle row
    of the picture (white around the mesh)."""
    reader = vtkPNGReader()
    reader.SetFileName(png)
    reader.Update()
    width, height, _ = reader.GetOutput().GetDimensions()
    pixels = reader.GetOutput().GetPointData().GetScalars()
    row = [pixels.GetTuple(height // 2 * width + x)[:3] for x in range(width)]
    mesh = [r - b for r, g, b in row if min(r, g, b) < 250]
    return (mesh[3], mesh[-4]) if len(mesh) > 8 else (None, None)


def draw_last_step(reader, time):
    """Draws the heads at TIME in white surroundings and checks the picture's colours."""
    view = pv.CreateView("RenderView")
    view.UseColorPaletteForBackground = 0
    view.Background = [1, 1, 1]
    view.OrientationAxesVisibility = 0
    view.ViewSize = [400, 300]
    display = pv.Show(reader, view)
    pv.ColorBy(display, ("POINTS", "H"))
    display.RescaleTransferFunctionToDataRange(True, False)
    view.ViewTime = time
    pv.ResetCamera(view)
    pv.Render(view)
    pv.SaveScreenshot("last.png", view, ImageResolution=[400, 300])
    left, right = edge_colours("last.png")
    check(left is not None and left > 50 and right < -50,
          f"the picture of the last step is not warm on the left and cool on the right: {left}, {right}")


with tempfile.TemporaryDirectory() as work:
    os.chdir(work)
    # The earlier run: eight steps of another mesh, under the same names.
    resultgen("--nx", "9", "--ny", "6", "--steps", "8", "--out", "OLD.RES")
    check(postvtk("OLD.RES", "-o", "out", "--name", "run").returncode == 0, "the earlier run failed")

    resultgen("--nx", "12", "--ny", "8", "--steps", "8", "--out", "FULL.RES")
    data = open("FULL.RES", "rb").read()
    recs = list(records(data))
    numnp = struct.unpack_from("<i", recs[1][1])[0]
    with open("RUN.RES", "wb") as cut:  # inside the node record of the fifth step
        cut.write(data[:recs[6 + 3 * 4][0] + 100])

    done = postvtk("RUN.RES", "-o", "out", "--name", "run")
    check(done.returncode == 2, f"the cut run ended with status {done.returncode}: {done.stderr.strip()}")
    check("out/run.pvd lists the 4 step file(s) written before the fault" in done.stderr,
          f"the fault's message: {done.stderr.strip()}")
    sets = ET.parse("out/run.pvd").getroot().findall("./Collection/DataSet")
    check([s.get("file") for s in sets] == [f"run_{k:04d}.vtu" for k in range(1, 5)],
          f"the collection lists {[s.get('file') for s in sets]}")

    steps = [step_heads(recs, numnp, k) for k in range(4)]
    reader = pv.PVDReader(FileName=os.path.join(work, "out", "run.pvd"))
    times = list(reader.TimestepValues)
    check(times == [time for _, time, _ in steps], f"ParaView's times {times}")
    for (la, time, heads) in steps:
        reader.UpdatePipeline(time)
        grid = servermanager.Fetch(reader)
        if grid.IsA("vtkMultiBlockDataSet"):
            grid = grid.GetBlock(0)
        where = f"ParaView at time {time}"
        check(grid.GetNumberOfPoints() == numnp, f"{where}: {grid.GetNumberOfPoints()} points, expected {numnp}")
        check(grid.GetFieldData().GetArray("step").GetValue(0) == la, f"{where}: not step {la}")
        h = grid.GetPointData().GetArray("H")
        got = [h.GetValue(n) for n in range(h.GetNumberOfTuples())] if h else None
        check(got == heads, f"{where}: the heads differ from the result file")

    if PICTURE:
        draw_last_step(reader, times[-1])

finish("ParaView picture" if PICTURE else "ParaView reader")
