#!/usr/bin/env bash
# Writes to standard output a graph data file whose four lists hold every node
# (heads and Q) and every element (both velocity lists) of a mesh, for MXSTEP steps.
#
# usage: full_graph_data.sh MXSTEP NODES ELEMENTS
set -euo pipefail
awk -v steps="$1" -v nodes="$2" -v elements="$3" '
  function list(n,  i, line) {
    printf "%5d\r\n", n; line = ""
    for (i = 1; i <= n; i++) { line = line sprintf("%7d", i); if (i % 10 == 0 || i == n) { printf "%s\r\n", line; line = "" } }
  }
  BEGIN {
    printf "%5d%5d%5d%5d%5d\r\n", steps, nodes, nodes, elements, elements
    list(nodes); list(nodes); list(elements); list(elements)
  }'
