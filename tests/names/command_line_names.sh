#!/usr/bin/env bash
# Japanese file and folder names on the command lines of postvtk and timehist:
# the step files of 表.res are 表_NNNN.vtu, -o makes the folder 表/出力表 with its
# parent, and -C finds an existing 出力表, and the files hold the same bytes as
# with ASCII names. 表 is 0x95 0x5C in code page 932, the second byte that of '\'.
# Linux passes the code page 932 bytes through; wine gives a Windows program code
# page 932 and a command line in it when the Linux locale is Japanese (made here
# by localedef), turning the UTF-8 names typed on the Linux side.
#
# usage: command_line_names.sh BIN_DIR   (exits 77, skipped, on Windows without
#                                         localedef or the ja_JP locale source)
set -u
bin=$(cd "$1" && pwd)
source "$(dirname "$0")/../programs.sh"
enter_scratch

# japanese PROGRAM ARGS...: runs the program as a user of a Japanese system would.
if on_windows; then
  if ! command -v localedef >/dev/null || [ ! -f /usr/share/i18n/locales/ja_JP ]; then
    echo "localedef or the ja_JP locale source is missing: Japanese names on a Windows command line not checked"
    exit 77
  fi
  mkdir locale && localedef -i ja_JP -f UTF-8 "$work/locale/ja_JP.UTF-8" >/dev/null 2>&1
  [ -d "$work/locale/ja_JP.UTF-8" ] || { echo "localedef could not make the ja_JP.UTF-8 locale"; exit 77; }
  japanese() {
    local name=$1
    shift
    env LOCPATH="$work/locale" LC_ALL=ja_JP.UTF-8 "$GWPOST_EMULATOR" "$bin/$name.exe" "$@"
  }
else
  japanese() { program "$@"; }
fi

# run NAME PROGRAM ARGS...: the run must succeed.
run() {
  local name=$1
  shift
  "$@" >.stdout 2>.stderr || fail "$name: status $?: $(cat .stderr)"
}

program resultgen sample --nx 4 --ny 3 --steps 2 --out RES.res 2>/dev/null
printf '    0\r\n    2\r\n      1     12\r\n    1\r\n      5\r\n    1\r\n      3\r\n    1\r\n      2\r\n' >GRAPH.DAT
mkdir CSV
run "postvtk, ASCII names" program postvtk RES.res -o OUT
run "timehist, ASCII names" program timehist RES.res GRAPH.DAT -C CSV

table='\x95\x5c'                  # 表
output='\x8f\x6f\x97\xcd\x95\x5c'  # 出力表
cp RES.res "$(on_disk "$table.res")"
vtk=$(on_disk "$table/$output")
run "postvtk $table.res -o $table/$output" japanese postvtk "$(on_disk "$table.res")" -o "$vtk"
[ "$(ls "$vtk" 2>/dev/null | wc -l)" = "$(ls OUT | wc -l)" ] || fail "postvtk wrote $(ls "$vtk" 2>/dev/null | tr '\n' ' ')"
for file in OUT/RES_*.vtu; do
  cmp -s "$file" "$vtk/$(on_disk "$table")${file#OUT/RES}" || fail "postvtk: the step file $file as $table: missing or other bytes"
done
# The collection names the step files by the bytes of the name given.
collection=$(cat OUT/RES.pvd; echo .)
collection=${collection//RES_/"$(on_disk "$table")_"}  # the collection names its files in UTF-8 on Windows
cmp -s <(printf %s "${collection%.}") "$vtk/$(on_disk "$table").pvd" || fail "postvtk: the collection of $table.res"

csv=$(on_disk "$output")
mkdir "$csv"
run "timehist $table.res -C $output" japanese timehist "$(on_disk "$table.res")" GRAPH.DAT -C "$csv"
[ "$(ls "$csv" 2>/dev/null | wc -l)" = "$(ls CSV | wc -l)" ] || fail "timehist wrote $(ls "$csv" 2>/dev/null | tr '\n' ' ')"
for file in CSV/*; do
  cmp -s "$file" "$csv/${file#CSV/}" || fail "timehist: $file in $output: missing or other bytes"
done

finish "Japanese names on the command line: every check passed"
