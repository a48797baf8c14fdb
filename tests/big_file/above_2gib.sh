#!/usr/bin/env bash
# A result file of about 3 GB (sizes and offsets past 2 GiB and 32 bits of
# sign): postconv converts its last step and postvtk exports it, with the same
# bytes as from a file holding that step block alone. Needs about 3.2 GB of
# free disk in the temporary folder; behind the ctest label big_file, which the
# presets leave out:
#   ctest --test-dir build/default -L big_file      (and build/windows for wine)
#
# usage: above_2gib.sh BIN_DIR     (BIN_DIR holds postconv, postvtk, resultgen)
set -u
bin=$(cd "$1" && pwd)
source "$(dirname "$0")/../programs.sh"
enter_scratch
target=${BIG_FILE_BYTES:-3000000000}

# The mesh part and one step block of a mesh near the capacity, then the file
# made of the mesh part and that block over and over.
program resultgen sample --nx 211 --ny 210 --split-every 0 --steps 0 --out MESH.RES 2>/dev/null
program resultgen sample --nx 211 --ny 210 --split-every 0 --steps 1 --out ONE.RES 2>/dev/null
mesh=$(stat -c %s MESH.RES)
block=$(($(stat -c %s ONE.RES) - mesh))
tail -c "$block" ONE.RES >BLOCK
copies=$(((target - mesh + block - 1) / block))
head -c "$mesh" ONE.RES >BIG.RES  # the title names the step count: that of ONE.RES
for ((k = 0; k < copies; k += 100)); do
  n=$((copies - k < 100 ? copies - k : 100))
  for ((j = 0; j < n; j++)); do cat BLOCK; done >>BIG.RES
done
rm -f MESH.RES BLOCK
echo "BIG.RES: $(stat -c %s BIG.RES) bytes, $copies step blocks"

# postconv: the TECPLOT data of the last step.
for name in ONE BIG; do
  printf '0\n1\n%s.RES\n0\n2\n%s.DAT\n0\n' "$name" "$name" | program postconv >"$name.console" 2>"$name.err" ||
    fail "postconv on $name.RES: $(cat "$name.err")"
done
cmp -s ONE.DAT BIG.DAT || fail "postconv wrote other bytes for the last step of the big file"
cmp -s ONE.console BIG.console || fail "postconv showed other console bytes for the big file"

# postvtk: the last step.
program postvtk ONE.RES -o one --steps last >/dev/null 2>one.err || fail "postvtk on ONE.RES: $(cat one.err)"
program postvtk BIG.RES -o big --steps last >/dev/null 2>big.err || fail "postvtk on BIG.RES: $(cat big.err)"
cmp -s one/ONE_0001.vtu "big/BIG_$(printf %04d "$copies").vtu" || fail "postvtk wrote another last step for the big file"

finish "a result file of $(stat -c %s BIG.RES) bytes converts as its last step alone"
