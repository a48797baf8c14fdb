#!/usr/bin/env bash
# The release zip holds the four programs, ParaView's reader description of
# postvtk's netCDF files and, for Windows, README-Windows.txt:
# ASCII text with CR LF line ends that a console of any code page shows, naming
# each program, the code page and the exit statuses. (The zip is made from
# what `cmake --install` puts in its folder; this installs into a scratch one.)
#
# usage: release_zip.sh BUILD_DIR CMAKE
set -u
build=$(cd "$1" && pwd)
cmake=$2
source "$(dirname "$0")/../programs.sh"
enter_scratch

readme=$build/README-Windows.txt
if [ ! -f "$readme" ]; then
  fail "no README-Windows.txt in the build tree"
else
  LC_ALL=C grep -qv $'\r$' "$readme" && fail "README-Windows.txt has a line without CR LF"
  LC_ALL=C grep -q $'[^\t\r -~]' "$readme" && fail "README-Windows.txt holds bytes other than ASCII text"
  for word in postconv.exe timehist.exe postvtk.exe resultgen.exe 'chcp 932' 1111 README.md; do
    grep -qF "$word" "$readme" || fail "README-Windows.txt does not mention $word"
  done
fi

"$cmake" --install "$build" --prefix "$work/zip" >/dev/null || fail "cmake --install failed"
suffix=${GWPOST_EXE_SUFFIX:-}
expected="postconv$suffix postvtk$suffix resultgen$suffix timehist$suffix ugrid_netcdf_reader.xml"
if on_windows; then expected="README-Windows.txt $expected"; else expected="README.md $expected"; fi
got=$(cd "$work/zip" && ls | LC_ALL=C sort | tr '\n' ' ')
[ "$got" = "$(tr ' ' '\n' <<<"$expected" | LC_ALL=C sort | tr '\n' ' ')" ] || fail "the zip would hold: $got"

finish "the zip holds the four programs, the reader description and the README of their system"
