# Sourced by the test and CI scripts: `stage STEP TEXT` prints what the script
# does next and how long it has run, as "NAME: [STEP] TEXT (M min SS s so far)",
# NAME being $stage_name.
stage_start=$SECONDS
stage() {
  local elapsed=$((SECONDS - stage_start))
  printf '%s: [%s] %s (%d min %02d s so far)\n' "$stage_name" "$1" "$2" $((elapsed / 60)) $((elapsed % 60))
}
