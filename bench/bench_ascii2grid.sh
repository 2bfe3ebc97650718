#!/usr/bin/env bash
# ASCII grid to GRID: our conversion (ascii2grid_tool, ConvertRasterFile) against
# gdal_translate -of GTiff on the same 2000 x 2000 ASCII grid, each timed as processes by measure.
#   usage: bench/bench_ascii2grid.sh BUILD_DIR WORK_DIR
# Takes WORK_DIR/lattice.asc from the gridder benchmark (or WORK_DIR/ascii/lattice.asc); when
# neither exists, generates one. Leaves the GRID at WORK_DIR/grid/lattice for later benchmarks.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
bench_setup bench_ascii2grid.sh "$@"
runs=${BENCH_RUNS:-5}
tool=$build_dir/bench/ascii2grid_tool


ascii=$work_dir/lattice.asc
if [ ! -f "$ascii" ] && [ -f "$work_dir/ascii/lattice.asc" ]; then
  ascii=$work_dir/ascii/lattice.asc
fi
if [ ! -f "$ascii" ]; then
  echo "bench_ascii2grid: generating $ascii" >&2
  make_ascii_lattice "$ascii"
fi

grid_dir=$work_dir/grid
peer_dir=$work_dir/peer-ascii2grid
mkdir -p "$grid_dir" "$peer_dir"
cat "$ascii" >/dev/null  # both sides start with the input in the page cache

# Each timed run starts without its output, as a first batch run would.
ours_cmd="rm -rf '$grid_dir/lattice' && '$tool' '$ascii' '$grid_dir' lattice"
peer_cmd="rm -f '$peer_dir/lattice.tif' &&
  gdal_translate -q -of GTiff '$ascii' '$peer_dir/lattice.tif'"

read -r ours ours_mb < <(GDAL_PAM_ENABLED=NO "$measure" "$runs" bash -c "$ours_cmd")
read -r peer peer_mb < <(GDAL_PAM_ENABLED=NO "$measure" "$runs" bash -c "$peer_cmd")
ratio=$(awk -v a="$ours" -v b="$peer" 'BEGIN { printf "%.2f", a / b }')

echo "ascii2grid  ours $ours  peer $peer  ratio $ratio"
echo "  (median of $runs; peak MB ours $ours_mb, peer $peer_mb)"
