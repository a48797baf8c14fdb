#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets: small result files from
# resultgen (whole, cut at many places, spelled out with odd counts), console
# answers, point files, graph data files and work lists.
#
# usage: make_corpus.sh BIN_DIR OUT_DIR     (BIN_DIR holds resultgen)
set -euo pipefail
bin=$(cd "$1" && pwd)
source "$(dirname "$0")/../programs.sh"
out=$2
rm -rf "$out"
mkdir -p "$out"/{result_reader,postconv_run,timehist_run,point_file,graph_data,free_input,formatted_input,numeric_fields}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- result files --------------------------------------------------------
(
  cd "$work"
  program resultgen sample --nx 2 --ny 2 --steps 0 --out r_empty.bin
  program resultgen sample --nx 3 --ny 3 --steps 2 --out r_3x3.bin
  program resultgen sample --nx 4 --ny 3 --steps 3 --split-every 2 --seed 7 --out r_4x3.bin
  program resultgen sample --nx 6 --ny 5 --steps 4 --split-every 3 --seed 3 --out r_6x5.bin
) 2>/dev/null

# Spelled-out files: the cases a solver never writes but a damaged file holds.
desc() { cat >"$work/$1.txt"; program resultgen text "$work/$1.txt" "$work/$1.bin"; }
mesh='title SPELLED OUT
node 0 0 0 0 0
node 10 0 0 0 0
node 10 10 0 0 1
node 0 10 0 0 0'
desc d_triangle_zero <<<"$mesh
elem 1 2 3 0 1 0
elem 1 3 4 4 2 0
step 0 0.5
n 1 1 2
e 1 2 3
step 7 1.5
e 1 2 0"
desc d_bad_corners <<<"$mesh
elem 1 2 99 4 1 0
elem -1 0 3 3 1 0
elem 1 2 3 4 -5 0
step 1 1
e 1 1 0
e 1 1 1"
desc d_negative_counts <<<"$mesh
numnp -3
numel -1
elem 1 2 3 4 1 0
step 1 1"
desc d_short_record <<<"$mesh
numnp 5
elem 1 2 3 4 1 0"
desc d_above_capacity <<<"$mesh
numnp 44445
elem 1 2 3 4 1 0"
desc d_above_extractor <<<"$mesh
numnp 5001
elem 1 2 3 4 1 0"
desc d_long_records <<<"$mesh
numnp 2
numel 0
elem 1 2 3 4 1 0
step 3 1
step 3 2"
desc d_extreme_values <<<"$mesh
elem 1 2 3 4 1 0
elem 1 2 3 3 1 0
step 1 1e308
n 0 -1e308 2.3e-308
e 1e308 -1e308 2.3e-308
e 1 1 0"

for f in "$work"/r_*.bin "$work"/d_*.bin; do
  base=$(basename "$f" .bin)
  cp "$f" "$out/result_reader/$base"
  size=$(stat -c %s "$f")
  # Cut inside every record frame of the mesh part and at the end.
  for cut in 3 50 88 92 100 120 $((size / 2)) $((size - 30)) $((size - 1)); do
    [ "$cut" -gt 0 ] && [ "$cut" -lt "$size" ] && head -c "$cut" "$f" >"$out/result_reader/${base}_cut$cut"
  done
done

# Whole runs: a choice byte in front of a result file (see the targets).
for f in "$work"/r_3x3.bin "$work"/r_4x3.bin "$work"/d_triangle_zero.bin "$work"/d_bad_corners.bin \
  "$work"/d_negative_counts.bin "$work"/d_extreme_values.bin "$work"/r_empty.bin; do
  base=$(basename "$f" .bin)
  for choice in 0 1 2 3 4 5 6 7 8 17 42 43 44 45 46 47 69; do
    { printf "\\$(printf %03o "$choice")"; cat "$f"; } >"$out/postconv_run/${base}_$choice"
  done
  for choice in 0 1 2 3 4 5; do
    { printf "\\$(printf %03o "$choice")"; cat "$f"; } >"$out/timehist_run/${base}_$choice"
  done
done
head -c 400 "$work/r_4x3.bin" | { printf '\003'; cat; } >"$out/postconv_run/cut_mesh"
head -c $(($(stat -c %s "$work/r_4x3.bin") - 100)) "$work/r_4x3.bin" | { printf '\003'; cat; } \
  >"$out/postconv_run/cut_step"

# --- text inputs -------------------------------------------------------------
printf '3\r\n 5.0 4.0\r\n12.5,9.0\r\n-1 -1\r\n' >"$out/point_file/three"
printf '2\n10 10\n0,0\n' >"$out/point_file/corners"
printf '0\n' >"$out/point_file/none"
printf '2 extra values\n1.5D1 2.5E-1\n' >"$out/point_file/d_exponent"
printf '5\n1 1\n2 2\n' >"$out/point_file/short"
printf '2\n1 x\n' >"$out/point_file/not_a_number"
printf '2223\n' >"$out/point_file/too_many"
printf '1\n1e400 0\n' >"$out/point_file/overflow"
printf '' >"$out/point_file/empty"

printf '\r\n    2\r\n      1      9\r\n    1\r\n      5\r\n    2\r\n      1      3\r\n    1\r\n      2\r\n' \
  >"$out/graph_data/defaults"
printf '    1    4    4    4    4\r\n    4\r\n      0     -3  44444      1\r\n    0\r\n    1\r\n      9\r\n    0\r\n' \
  >"$out/graph_data/odd_entries"
printf '    5    2    2    2    2    0\n   12\n      1      2      3      4      5      6      7      8      9     10\n     11     12\n    0\n    0\n    0\n' \
  >"$out/graph_data/over_capacity"
printf '   -1   -1   -1   -1   -1\n   -2\n   -2\n   -2\n   -2\n' >"$out/graph_data/negative"
printf '99999    1    1    1    1\n    1\n      1\n    0\n    0\n    0\n' >"$out/graph_data/many_steps"
printf '    2\n    3\n      1      2\n' >"$out/graph_data/cut_list"
printf '  1a \n' >"$out/graph_data/not_a_number"
printf '' >"$out/graph_data/empty"

# Free-form and formatted reads: four plan bytes, then the text.
printf '\000\000\000\000  0\r\n1\r\n 5 \r\n-1\r\n/\r\n,7\r\n' >"$out/free_input/answers"
printf '\001\002\001\002 3 4\n1.5D1,2.5e-1\n-7 +8 9\n1.0+5 2\n' >"$out/free_input/points"
printf '\003\004\000\001RES.BIN\r\n\r\n12\r\n' >"$out/free_input/names"
printf '\000\001\002\003+-5 -+5 1e 1..2 .5 5. 99999999999 -2147483648 0x10 1q3\n' >"$out/free_input/odd_numbers"
printf '\000\000\000\000MESH.DAT\r\nBOUND.DAT\r\nCOND.DAT\r\nRES.BIN\r\n' >"$out/formatted_input/work_list"
printf '\003\004\005\004    5    0    3  1 2   -4    9\n    3\n      1      2      3\n' >"$out/formatted_input/graph"
printf '\006\006\003\005 + 1- 2  ab  \t7\n-2147483648 2147483648\n' >"$out/formatted_input/odd_fields"
for f in "$out"/graph_data/*; do
  { printf '\003\004\005\004'; cat "$f"; } >"$out/formatted_input/g_$(basename "$f")"
done

# Numeric fields: shape, w, d, digit count, then the 8 bytes of a double (its
# low 4 bytes also make a 32-bit real).
k=0
for v in 0.5 86400 1e-5 12345.678 -0.45 1e300 -1e-300 5e-324 0.1 9.9999999999999995 0.09999999999999999 \
  999999999999999.9 -0.0 123.45 2.5 1e22 4.35 0.125; do
  k=$((k + 1))
  perl -e 'print pack("CCCCd<", $ARGV[1], $ARGV[2], $ARGV[3], $ARGV[4], $ARGV[0])' -- "$v" $((k * 37 % 8)) \
    $((11 + k)) $((3 + k % 7)) $((k * 5 % 40)) >"$out/numeric_fields/v$k"
done

echo "make_corpus: $(find "$out" -type f | wc -l) seeds in $out"
