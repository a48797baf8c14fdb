#!/usr/bin/env bash
# Builds the programs, generates a sample result file in demo/ and converts it:
# postconv writes a TECPLOT file of every step, timehist the CSV time series.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j2 >/dev/null
bin=$PWD/build/default/bin
mkdir -p demo
cd demo
"$bin/resultgen" sample --nx 30 --ny 20 --steps 5 --out SAMPLE.RES --worklst

# postconv answers: banner 0, result file from WORK.LST (0), totals OK (0),
# menu 2 (TECPLOT), output file name, all steps (-1).
printf '0\n0\n0\n2\nsample_tecplot.dat\n-1\n' | "$bin/postconv" >postconv_console.txt
echo "demo: postconv wrote demo/sample_tecplot.dat (console in demo/postconv_console.txt)"

# timehist answers: result file from WORK.LST (0), graph data file name.
printf '    0    0    0    0    0\r\n    3\r\n      1     15    300\r\n    0\r\n    2\r\n     10    200\r\n    1\r\n     50\r\n' >GRAPH.DAT
printf '0\nGRAPH.DAT\n' | "$bin/timehist" >timehist_console.txt
echo "demo: timehist wrote demo/GHTIME.CSV, demo/GVDTIME.csv and demo/GVATIME.csv"

"$bin/postvtk" SAMPLE.RES --name sample >/dev/null
echo "demo: postvtk wrote demo/sample.pvd and its .vtu files (open with: paraview demo/sample.pvd)"
