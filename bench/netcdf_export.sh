#!/usr/bin/env bash
# postvtk's netCDF file at the capacity (44444 nodes, 44437 elements, 100 steps),
# next to the .vtu series of the same run: the size of each, the netCDF file's
# size against the values it holds, the time of writing each (best of ROUNDS,
# default 3, each after `sync`), and the time QGIS takes to open the file as a
# mesh layer and draw H at the last step (headless; skipped without QGIS).
#
# usage: bench/netcdf_export.sh [BUILD_DIR]     (default build/default; build it first)
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build/default}/bin" && pwd)
rounds=${ROUNDS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$bin/resultgen" sample --nx 271 --ny 164 --steps 100 --split-every 103 --out CAP.RES 2>/dev/null

best_time() {
  local best="" t0 t1 i
  for ((i = 0; i < rounds; i++)); do
    rm -rf out && sync
    t0=$EPOCHREALTIME
    "$bin/postvtk" CAP.RES -o out "$@" >/dev/null
    t1=$EPOCHREALTIME
    best=$(awk -v a="$best" -v x="$t0" -v y="$t1" 'BEGIN { d = y - x; print (a == "" || d < a) ? d : a }')
  done
  echo "$best"
}

printf '%-28s %10s %8s\n' "output" "MB" "seconds"
for choice in "vtu" "nc" "nc --single"; do
  case $choice in
    vtu) args=() ;;
    nc) args=(--netcdf-only) ;;
    *) args=(--netcdf-only --single) ;;
  esac
  t=$(best_time "${args[@]}")
  bytes=$(du -cb out/* | tail -1 | cut -f1)
  printf '%-28s %10.1f %8.2f\n' "$choice" "$(awk -v b="$bytes" 'BEGIN { print b / 1e6 }')" "$t"
  [ "$choice" = "vtu" ] || cp out/CAP.nc "CAP-${#args[@]}.nc"
done

# The values each netCDF file holds: every variable's size by ncdump's header,
# against the file's size (the rest is the header).
if command -v /usr/bin/python3 >/dev/null && /usr/bin/python3 -c 'import netCDF4' 2>/dev/null; then
  for f in CAP-1.nc CAP-2.nc; do
    /usr/bin/python3 - "$f" <<'PY'
import os, sys, netCDF4
with netCDF4.Dataset(sys.argv[1]) as nc:
    held = sum(v.size * v.dtype.itemsize for v in nc.variables.values())
size = os.path.getsize(sys.argv[1])
print(f"{sys.argv[1]}: {size / 1e6:.1f} MB, values {held / 1e6:.1f} MB, {100 * (size - held) / held:.3f} % more")
PY
  done
fi

# QGIS: open the layer and draw H at the last step.
/usr/bin/python3 - "$work/CAP-1.nc" <<'PY' || echo "QGIS: not measured (no QGIS Python modules)"
import os, sys, time
os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
from qgis.core import (QgsApplication, QgsDateTimeRange, QgsMapRendererSequentialJob, QgsMapSettings, QgsMeshLayer)
from qgis.PyQt.QtCore import QSize
app = QgsApplication([], False)
app.initQgis()
t0 = time.perf_counter()
layer = QgsMeshLayer(sys.argv[1], "CAP", "mdal")
names = [layer.dataProvider().datasetGroupMetadata(g).name() for g in range(layer.dataProvider().datasetGroupCount())]
t1 = time.perf_counter()
settings = layer.rendererSettings()
settings.setActiveScalarDatasetGroup(names.index("H, total head [m]"))
layer.setRendererSettings(settings)
ms = QgsMapSettings()
ms.setLayers([layer]); ms.setDestinationCrs(layer.crs()); ms.setExtent(layer.extent()); ms.setOutputSize(QSize(1200, 800))
end = layer.temporalProperties().timeExtent().end()
ms.setIsTemporal(True); ms.setTemporalRange(QgsDateTimeRange(end, end))
job = QgsMapRendererSequentialJob(ms); job.start(); job.waitForFinished()
t2 = time.perf_counter()
print(f"QGIS: layer opened in {t1 - t0:.2f} s ({len(names)} dataset groups), H at the last step drawn in {t2 - t1:.2f} s")
PY
