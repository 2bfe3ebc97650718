#!/usr/bin/env bash
# What --cog-dir and --contour-gpkg add to the chain, counted in instructions (callgrind) rather
# than seconds: the same count on every rerun with the same binary and data, however loaded the
# machine is. Runs the chain with --jobs 1 without and with both outputs on a few tiles and prints
# the instructions a tile of each, what the outputs add, and how much of that is DEFLATE itself
# (the instructions spent inside libdeflate, which compresses the COGs' tiles).
#   usage: bench/bench_extra_outputs_instructions.sh BUILD_DIR WORK_DIR [COUNT SIDE]  (4 x 1000)
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
bench_setup bench_extra_outputs_instructions.sh "$1" "$2"
count=${3:-4}
side=${4:-1000}
cli=$build_dir/src/app/terravox-cli
tiles=$(tiles_folder "$count" "$side")
outputs=$work_dir/extra-instructions-$count-$side
command -v valgrind >/dev/null || { echo "bench_extra_outputs_instructions: needs valgrind" >&2; exit 1; }

rm -rf "$outputs" && mkdir -p "$outputs"
trap 'rm -rf "$outputs"' EXIT

# count VARIANT: runs the chain under callgrind; its profile lands in $outputs/VARIANT.out.
count_run() {
  local out=$outputs/$1 extra=()
  mkdir -p "$out"/{ascii,grid,slope,contour,cog}
  [ "$1" = extras ] && extra=(--cog-dir "$out/cog" --contour-gpkg "$out/contours.gpkg")
  valgrind --tool=callgrind --callgrind-out-file="$outputs/$1.out" "$cli" run --input xyz \
    --xyz-dir "$tiles" --ascii-dir "$out/ascii" --grid-dir "$out/grid" --slope-dir "$out/slope" \
    --contour-dir "$out/contour" --contour-interval 5 --log "$out/log.txt" --jobs 1 "${extra[@]}" \
    >/dev/null 2>&1
}
count_run plain &
count_run extras &
wait

total() { callgrind_annotate "$outputs/$1.out" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'; }
in_libdeflate() {
  callgrind_annotate --auto=no --threshold=100 "$outputs/$1.out" 2>/dev/null |
    awk '/libdeflate/ { gsub(",", "", $1); sum += $1 } END { print sum + 0 }'
}
awk -v n="$count" -v p="$(total plain)" -v e="$(total extras)" -v d="$(in_libdeflate extras)" 'BEGIN {
  printf "extra outputs in instructions, %d tiles of %s: chain %.0f M a tile, with the outputs %.0f M\n",
    n, "'"$side x $side"'", p / n / 1e6, e / n / 1e6
  printf "extra outputs in instructions: the outputs add %.1f%% (goal 25%%), DEFLATE alone %.1f%%\n",
    100 * (e - p) / p, 100 * d / p }'
