#!/usr/bin/env bash
# Times our XYZ gridder (terravox-cli grid) on a 2000 x 2000 lattice, in row order and shuffled,
# against GDAL's XYZ driver (gdal_translate -of AAIGrid, which needs row order) and against the
# floor (read + parse + format only). Leaves WORK_DIR/lattice.asc for the later benchmarks.
#   usage: bench/bench_gridder.sh BUILD_DIR WORK_DIR      (BENCH_RUNS=n sets the runs, default 5)
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
bench_setup bench_gridder.sh "$@"
runs=${BENCH_RUNS:-5}
cli=$build_dir/src/app/terravox-cli

if [ ! -s "$work_dir/lattice.xyz" ] || [ ! -s "$work_dir/lattice_shuffled.xyz" ]; then
  "$build_dir/bench/make_lattice" "$work_dir"
fi
lattice=$work_dir/lattice.xyz
shuffled=$work_dir/lattice_shuffled.xyz
peer_out=$work_dir/lattice_gdal.asc

# Each timed step: "<median s> <peak MB>".
read -r ours ours_mb < <("$measure" "$runs" "$cli" grid "$lattice" "$work_dir/lattice.asc" \
  --log "$work_dir/gridder.log")
read -r mixed mixed_mb < <("$measure" "$runs" "$cli" grid "$shuffled" \
  "$work_dir/lattice_shuffled.asc" --log "$work_dir/gridder.log")
read -r peer peer_mb < <("$measure" "$runs" sh -c \
  'rm -f "$2" && exec gdal_translate -q -of AAIGrid "$1" "$2"' sh "$lattice" "$peer_out")
read -r floor floor_mb < <("$measure" "$runs" "$build_dir/bench/xyz_floor" "$lattice" /dev/null)

if ! cmp -s "$work_dir/lattice.asc" "$work_dir/lattice_shuffled.asc"; then
  echo "gridder: the shuffled lattice gave a different grid" >&2
  exit 1
fi

line() {  # step, seconds, peak MB
  awk -v step="$1" -v s="$2" -v mb="$3" -v ours="$ours" \
    'BEGIN { printf "gridder  %-28s %7.3f s  ratio to ours %5.2f  peak %6.1f MB\n", step, s, s / ours, mb }'
}
line "ours, row order" "$ours" "$ours_mb"
line "ours, shuffled" "$mixed" "$mixed_mb"
line "gdal_translate, row order" "$peer" "$peer_mb"
line "floor (read, parse, format)" "$floor" "$floor_mb"
awk -v ours="$ours" -v mixed="$mixed" -v peer="$peer" -v mb="$ours_mb" 'BEGIN {
  printf "gridder  goals: peer/ours %.1fx (>= 5), shuffled/row %.2f (<= 1.5), peak %.0f MB (< 400)\n",
    peer / ours, mixed / ours, mb }'
