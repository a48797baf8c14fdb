#!/usr/bin/env bash
# Installs what the build and the tests need, when it is missing (Debian packages).
set -euo pipefail

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v gfortran >/dev/null || need+=(gfortran)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)  # built for Windows by the windows preset
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
# ParaView's Python modules bring VTK's too (python3-vtk9 conflicts with them).
/usr/bin/python3 -c 'import vtk, paraview' 2>/dev/null || need+=(python3-paraview)
command -v python3 >/dev/null || need+=(python3)
command -v Xvfb >/dev/null || need+=(xvfb)  # an X server for ParaView's picture test
command -v chromium >/dev/null || need+=(chromium)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64)
command -v wine >/dev/null || need+=(wine wine64)
command -v clang++ >/dev/null || need+=(clang)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-dev)
# Readers of postvtk's netCDF file: the netCDF library's own tools, Python's
# netCDF4 and xarray, and QGIS's mesh layer (with its data providers).
command -v ncdump >/dev/null || need+=(netcdf-bin)
/usr/bin/python3 -c 'import netCDF4, xarray' 2>/dev/null || need+=(python3-netcdf4 python3-xarray)
/usr/bin/python3 -c 'import qgis.core' 2>/dev/null || need+=(python3-qgis)
[ -d /usr/lib/qgis/plugins ] && ls /usr/lib/qgis/plugins/libprovider_mdal.so >/dev/null 2>&1 || need+=(qgis-providers)

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  if [ "$(id -u)" = 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null ||
      echo "setup: could not install all of ${need[*]}; the tests that need them are skipped"
  else
    echo "setup: run as root, or install these packages: ${need[*]}"
  fi
fi
