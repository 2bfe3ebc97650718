#!/usr/bin/env bash
# Slope and contours of one 2000 x 2000 GRID: our steps (surface_tool) against gdaldem slope plus
# gdal_contour on the same GRID, each timed as processes by measure.
#   usage: bench/bench_surface.sh BUILD_DIR WORK_DIR
# Starts from WORK_DIR/grid/lattice, the GRID the ASCII-to-GRID benchmark leaves; when it is
# missing, a 2000 x 2000 ASCII grid is generated and converted with bench/ascii2grid_tool.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
bench_setup bench_surface.sh "$@"
runs=${BENCH_RUNS:-5}
interval=5
surface_tool=$build_dir/bench/surface_tool
lattice=$work_dir/grid/lattice


if [ ! -f "$lattice/hdr.adf" ]; then
  tool=$build_dir/bench/ascii2grid_tool
  if [ ! -x "$tool" ]; then
    echo "bench_surface: $lattice is missing and $tool is not built;" \
      "run bench/bench_ascii2grid.sh first" >&2
    exit 1
  fi
  echo "bench_surface: making $lattice" >&2
  mkdir -p "$work_dir/ascii" "$work_dir/grid"
  [ -f "$work_dir/ascii/lattice.asc" ] || make_ascii_lattice "$work_dir/ascii/lattice.asc"
  "$tool" "$work_dir/ascii/lattice.asc" "$work_dir/grid" lattice
fi

out=$work_dir/surface
mkdir -p "$out"
# Each timed run starts from empty output folders, as a first batch run would.
ours_cmd="rm -rf '$out/slope' '$out/contour' && mkdir '$out/slope' '$out/contour' &&
  '$surface_tool' '$lattice' '$out/slope' '$out/contour' $interval"
peer_slope_cmd="rm -rf '$out/peer-slope' && mkdir '$out/peer-slope' &&
  gdaldem slope -compute_edges -q '$lattice' '$out/peer-slope/lattice.tif'"
peer_contour_cmd="rm -rf '$out/peer-contour' && mkdir '$out/peer-contour' &&
  gdal_contour -q -a CONTOUR -i $interval '$lattice' '$out/peer-contour/lattice.shp'"

export GDAL_PAM_ENABLED=NO  # no .aux.xml beside the inputs
read -r ours ours_mb < <("$measure" "$runs" bash -c "$ours_cmd")
read -r peer_slope slope_mb < <("$measure" "$runs" bash -c "$peer_slope_cmd")
read -r peer_contour contour_mb < <("$measure" "$runs" bash -c "$peer_contour_cmd")
peer=$(awk -v a="$peer_slope" -v b="$peer_contour" 'BEGIN { printf "%.3f", a + b }')
ratio=$(awk -v a="$ours" -v b="$peer" 'BEGIN { printf "%.2f", a / b }')

echo "slope+contours  ours $ours  peer $peer  ratio $ratio"
echo "  (median of $runs; peer slope $peer_slope s, contours $peer_contour s;" \
  "peak MB ours $ours_mb, peer $slope_mb / $contour_mb)"
