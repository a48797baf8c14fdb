#!/usr/bin/env bash
# The quick start: builds only the four programs it runs (with the build's
# progress shown), generates a sample result file and its WORK.LST in demo/,
# and converts it: postconv from the command line and through its dialogue,
# timehist and postvtk. About 40 s on a quiet 2-core machine from a clean clone.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
tools/setup.sh

echo "demo: configuring the build (build/default)"
cmake --preset default >/dev/null
echo "demo: building postconv, timehist, postvtk and resultgen"
cmake --build --preset default -j2 --target postconv timehist postvtk resultgen
bin=$PWD/build/default/bin
mkdir -p demo
cd demo

echo
echo "demo: resultgen sample --nx 30 --ny 20 --steps 5 --out SAMPLE.RES --worklst"
"$bin/resultgen" sample --nx 30 --ny 20 --steps 5 --out SAMPLE.RES --worklst

echo "demo: postconv SAMPLE.RES --kind tecplot -o sample_tecplot.dat"
"$bin/postconv" SAMPLE.RES --kind tecplot -o sample_tecplot.dat

# The same conversion through the dialogue, answers piped: banner 0, result
# file from WORK.LST (0), totals OK (0), menu 1 (restart data), output file
# name, last step (0).
echo "demo: postconv dialogue, restart data of the last step (console in demo/postconv_console.txt)"
printf '0\n0\n0\n1\nsample_restart.dat\n0\n' | "$bin/postconv" >postconv_console.txt

# A graph data file: default capacities; heads at nodes 1, 15, 300; no Q list;
# D*velocity at elements 10, 200; velocity at element 50.
printf '    0    0    0    0    0\r\n    3\r\n      1     15    300\r\n    0\r\n    2\r\n     10    200\r\n    1\r\n     50\r\n' >GRAPH.DAT
echo "demo: timehist SAMPLE.RES GRAPH.DAT"
"$bin/timehist" SAMPLE.RES GRAPH.DAT

echo "demo: postvtk SAMPLE.RES --name sample --netcdf --crs EPSG:6677 --time-unit second"
"$bin/postvtk" SAMPLE.RES --name sample --netcdf --crs EPSG:6677 --time-unit second

echo
echo "demo: done in $((SECONDS - start)) s. The programs are in build/default/bin; to try them:"
echo "    export PATH=\"$(dirname "$bin")/bin:\$PATH\""
echo "    cd demo"
echo "    postconv --help"
