#!/usr/bin/env bash
# Runs the shell examples of the README (its ```sh blocks) as pasted: in order,
# line by line, in one shell started in the top folder of a fresh clone of the
# committed branch, so each example runs where the ones before it left off.
# Prints every line with its output and ends with the lines whose status was
# not 0. Takes as long as the demo and the test command it runs.
#
# usage: tools/readme_examples.sh [KEEP_DIR]   (the clone goes to KEEP_DIR, else
#                                               a temporary folder removed at the end)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -gt 0 ]; then
  clone=$1
else
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  clone=$tmp/clone
fi
git clone -q "$repo" "$clone"

# Each example line, then a check of its status.
script=$clone/.readme_examples
awk '
  /^```sh$/ { inside = 1; next }
  /^```/    { inside = 0; next }
  inside && NF {
    quoted = $0; gsub(/\047/, "\047\\\047\047", quoted)
    print "printf \"\\n$ %s\\n\" \047" quoted "\047"
    print $0
    print "s=$?; [ $s = 0 ] || failed+=(\"status $s: \"\047" quoted "\047)"
  }' "$clone/README.md" >"$script"

cd "$clone"
set +eu
failed=()
source "$script"
echo
if [ ${#failed[@]} = 0 ]; then
  echo "readme_examples: every example ran with status 0"
else
  echo "readme_examples: ${#failed[@]} example line(s) failed:"
  printf '  %s\n' "${failed[@]}"
  exit 1
fi
