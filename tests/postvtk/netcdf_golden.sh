#!/usr/bin/env bash
# postvtk's netCDF file of a small mixed mesh (a quadrilateral, two triangles
# stored either way, an inactive element, a code page 932 title), checked three
# ways: its header as the netCDF library's ncdump shows it against
# netcdf/small.cdl, its bytes against netcdf/small.nc (so the Windows program
# writes the same file), and ncdump reading every value.
#
# usage: netcdf_golden.sh BIN_DIR     (BIN_DIR holds postvtk and resultgen)
# Exits 77 (skipped) where ncdump is missing. To make the expected files anew
# after a deliberate change: NETCDF_GOLDEN_UPDATE=1 netcdf_golden.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../programs.sh"
command -v ncdump >/dev/null || { echo "SKIPPED: no ncdump (Debian's netcdf-bin) to read the netCDF file"; exit 77; }
enter_scratch

program resultgen text "$here/netcdf/small.rtxt" SMALL.RES >/dev/null
program postvtk SMALL.RES --netcdf-only --crs EPSG:6677 --shift 40000,-120000.5 --time-unit second \
  --start 2024-04-01T09:00 >out.txt 2>err.txt || fail "postvtk: status $?: $(cat err.txt)"
[ "$(tr -d '\r' <out.txt)" = "postvtk: wrote ./SMALL.nc: 2 step(s), 6 nodes, 3 faces (the active elements)" ] ||
  fail "console: $(cat out.txt)"
[ ! -s err.txt ] || fail "stderr: $(cat err.txt)"

if [ -n "${NETCDF_GOLDEN_UPDATE:-}" ]; then
  ncdump -h SMALL.nc >"$here/netcdf/small.cdl"
  cp SMALL.nc "$here/netcdf/small.nc"
fi
ncdump -h SMALL.nc >header.cdl || fail "ncdump -h cannot read the file"
diff -u "$here/netcdf/small.cdl" header.cdl || fail "the header differs from netcdf/small.cdl"
cmp SMALL.nc "$here/netcdf/small.nc" || fail "the bytes differ from netcdf/small.nc"
ncdump SMALL.nc >all.cdl || fail "ncdump cannot read every value"
grep -q 'face_nodes =' all.cdl && grep -q ' 2, 5, 3, _,' all.cdl || fail "ncdump shows no triangle with a missing corner"
finish "the netCDF file of the small case has its header and bytes"
