"""postvtk's netCDF file opened as a mesh layer by QGIS, headless: it must be read
as a UGRID mesh (a file QGIS cannot read that way still opens, as a grid, so
the dataset groups are checked by name), with every step a time of the layer,
the values of chosen vertices and faces those of the result file, the
coordinate system of --crs, holes where elements are inactive, and a map of H
at the last step whose colours follow the head.

usage: /usr/bin/python3 netcdf_qgis_test.py BIN_DIR [PICTURE.png]
  PICTURE.png: also keep the map drawn (with the velocity as arrows), as the
  README shows it.
Exits 77 (skipped) when QGIS's Python modules cannot be imported.
"""
import os
import subprocess
import sys
import tempfile

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
try:
    from qgis.core import (QgsApplication, QgsDateTimeRange, QgsMapRendererSequentialJob, QgsMapSettings,
                           QgsMeshDatasetIndex, QgsMeshLayer, QgsPointXY)
    from qgis.PyQt.QtCore import QDateTime, QSize, Qt
    from qgis.PyQt.QtGui import QColor
except ImportError as error:
    print(f"SKIPPED: QGIS's Python modules are not available for {sys.executable} ({error});"
          " install Debian's python3-qgis and qgis-providers to run this test")
    sys.exit(77)

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from result_records import check, divide, drawable, failures, finish, program, read_result  # noqa: E402

BIN = os.path.abspath(sys.argv[1])
PICTURE = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else None
SHIFT = (-25000.0, 40000.0)

GROUPS = ["AUX", "BL", "D [m]", "D*velocity, node mean [m2/h]", "ELV", "Element number", "H, total head [m]",
          "ISTAT, node status", "NCODE, node code", "Property number", "Q", "Velocity [m/h]",
          "Velocity, node mean [m/h]"]


def render(layer, group, when, size, vectors=None):
    """The layer drawn with `group` in colour at the time `when` (and `vectors` as arrows)."""
    settings = layer.rendererSettings()
    settings.setActiveScalarDatasetGroup(group)
    if vectors is not None:
        settings.setActiveVectorDatasetGroup(vectors)
        arrows = settings.vectorSettings(vectors)
        arrows.setOnUserDefinedGrid(True)
        arrows.setUserGridCellWidth(45)
        arrows.setUserGridCellHeight(45)
        settings.setVectorSettings(vectors, arrows)
    layer.setRendererSettings(settings)
    map_settings = QgsMapSettings()
    map_settings.setLayers([layer])
    map_settings.setDestinationCrs(layer.crs())
    extent = layer.extent()
    extent.scale(1.05)
    map_settings.setExtent(extent)
    map_settings.setOutputSize(size)
    map_settings.setBackgroundColor(QColor(255, 255, 255))
    map_settings.setIsTemporal(True)
    map_settings.setTemporalRange(QgsDateTimeRange(when, when))
    job = QgsMapRendererSequentialJob(map_settings)
    job.start()
    job.waitForFinished()
    return job.renderedImage(), map_settings


def main():
    app = QgsApplication([], False)
    app.initQgis()
    with tempfile.TemporaryDirectory() as work:
        os.chdir(work)
        subprocess.run([*program(BIN, "resultgen"), "sample", "--out", "RUN.RES"], check=True, capture_output=True)
        res = read_result("RUN.RES")
        result = subprocess.run([*program(BIN, "postvtk"), "RUN.RES", "--netcdf-only", "--crs", "EPSG:6677",
                                 "--shift", f"{SHIFT[0]},{SHIFT[1]}", "--time-unit", "hour",
                                 "--start", "2021-07-01T12:00"], capture_output=True, text=True)
        check(result.returncode == 0, f"postvtk: status {result.returncode}: {result.stderr}")

        layer = QgsMeshLayer(os.path.join(work, "RUN.nc"), "RUN", "mdal")
        provider = layer.dataProvider()
        check(layer.isValid(), "the layer is not valid")
        names = [provider.datasetGroupMetadata(g).name() for g in range(provider.datasetGroupCount())]
        check(sorted(names) == GROUPS, f"dataset groups {names}")
        if failures:
            finish("QGIS")
        group = {name: names.index(name) for name in names}
        check(layer.crs().authid() == "EPSG:6677", f"coordinate system {layer.crs().authid()}")

        faces = [e + 1 for e, ie in enumerate(res["ie"]) if ie[4] > 0 and drawable(res, ie)]
        check(provider.vertexCount() == len(res["x"]) and provider.faceCount() == len(faces),
              f"{provider.vertexCount()} vertices, {provider.faceCount()} faces")
        steps = res["steps"]
        for name in ["H, total head [m]", "Q", "ISTAT, node status", "Velocity [m/h]", "D [m]"]:
            check(provider.datasetCount(group[name]) == len(steps), f"{name}: {provider.datasetCount(group[name])} times")
        start = QDateTime(2021, 7, 1, 12, 0, 0, 0, Qt.UTC)
        extent = layer.temporalProperties().timeExtent()
        check(extent.begin() == start.addSecs(int(steps[0]["time"] * 3600)) and
              extent.end() == start.addSecs(int(steps[-1]["time"] * 3600)),
              f"times from {extent.begin().toString(Qt.ISODate)} to {extent.end().toString(Qt.ISODate)}")

        # Values of chosen vertices and faces at the first and the last step.
        for k in (0, len(steps) - 1):
            step = steps[k]
            for n in (0, len(res["x"]) // 2, len(res["x"]) - 1):
                for name, want in (("H, total head [m]", step["h"][n]), ("Q", step["q"][n]),
                                   ("ISTAT, node status", step["istat"][n])):
                    got = provider.datasetValue(QgsMeshDatasetIndex(group[name], k), n).scalar()
                    check(got == want, f"{name} at vertex {n}, step {k + 1}: {got}, expected {want}")
            for f in (0, len(faces) // 3, len(faces) - 1):
                e = faces[f] - 1
                got = provider.datasetValue(QgsMeshDatasetIndex(group["D [m]"], k), f).scalar()
                check(got == step["d"][e], f"D at face {f}, step {k + 1}: {got}, expected {step['d'][e]}")
                v = provider.datasetValue(QgsMeshDatasetIndex(group["Velocity [m/h]"], k), f)
                want = (divide(step["dvx"][e], step["d"][e]), divide(step["dvy"][e], step["d"][e]))
                check((v.x(), v.y()) == want, f"velocity at face {f}, step {k + 1}: {(v.x(), v.y())}, expected {want}")
        check(provider.datasetValue(QgsMeshDatasetIndex(group["Element number"], 0), 7).scalar() == faces[7],
              "element number of face 7")

        # The map of H at the last step: each node's colour is the colour ramp's
        # colour of its head, and inactive elements are holes (the background).
        h = group["H, total head [m]"]
        image, map_settings = render(layer, h, extent.end(), QSize(900, 600))
        shader = layer.rendererSettings().scalarSettings(h).colorRampShader()
        heads = steps[-1]["h"]
        check(shader.minimumValue() == min(heads) and shader.maximumValue() == max(heads),
              f"colour range {shader.minimumValue()}..{shader.maximumValue()}, heads {min(heads)}..{max(heads)}")
        to_pixel = map_settings.mapToPixel()

        def colour_at(x, y):
            p = to_pixel.transform(QgsPointXY(x + SHIFT[0], y + SHIFT[1]))
            return QColor(image.pixel(int(round(p.x())), int(round(p.y()))))

        touches_inactive = set()
        for ie in res["ie"]:
            if ie[4] <= 0:
                touches_inactive.update(ie[:4])
        border = {n for n in range(1, len(res["x"]) + 1) if res["x"][n - 1] in (min(res["x"]), max(res["x"]))
                  or res["y"][n - 1] in (min(res["y"]), max(res["y"]))}
        checked = off = 0
        for n in range(1, len(res["x"]) + 1, 7):
            if n in touches_inactive or n in border:
                continue
            ok, r, g, b, _ = shader.shade(heads[n - 1])
            got = colour_at(res["x"][n - 1], res["y"][n - 1])
            checked += 1
            if not ok or max(abs(got.red() - r), abs(got.green() - g), abs(got.blue() - b)) > 12:
                off += 1
                if off <= 3:
                    failures.append(f"node {n}, head {heads[n - 1]}: colour {got.name()}, ramp gives {r, g, b}")
        check(checked > 40 and off == 0, f"{off} of {checked} nodes drawn in another colour than their head's")
        holes = 0
        for ie in res["ie"]:
            if ie[4] > 0 or not drawable(res, ie):
                continue
            corners = ie[:3] if ie[2] == ie[3] else ie[:4]
            x = sum(res["x"][c - 1] for c in corners) / len(corners)
            y = sum(res["y"][c - 1] for c in corners) / len(corners)
            got = colour_at(x, y)
            holes += 1
            check(got.name() == "#ffffff", f"inactive element at ({x:.0f}, {y:.0f}) drawn {got.name()}")
        check(holes > 0, "the sample has no inactive element")

        if PICTURE:
            picture, _ = render(layer, h, extent.end(), QSize(1000, 640),
                                vectors=group["Velocity, node mean [m/h]"])
            picture.save(PICTURE)
    finish("QGIS")


main()
