#!/usr/bin/env bash
# The whole chain over many tiles: terravox-cli with --jobs 1 and --jobs 2 against the same chain
# as a GDAL shell pipeline (gdal_translate XYZ -> AAIGrid -> GTiff, gdaldem slope -compute_edges,
# gdal_contour), one tile after another and with xargs -P 2. Each timed as processes by measure.
#   usage: bench/bench_chain.sh BUILD_DIR WORK_DIR [COUNT SIDE]   (default 32 tiles of 1000 x 1000)
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
bench_setup bench_chain.sh "$1" "$2"
count=${3:-32}
side=${4:-1000}
runs=${BENCH_RUNS:-5}
interval=5
cli=$build_dir/src/app/terravox-cli
tiles=$work_dir/chain-$count-$side
out=$work_dir/chain-out

if [ ! -f "$tiles/.complete" ]; then
  echo "bench_chain: making $count tiles of $side x $side in $tiles" >&2
  rm -rf "$tiles" && mkdir -p "$tiles"
  "$build_dir/bench/make_tiles" "$tiles" "$count" "$side"
  touch "$tiles/.complete"
fi

ours() {  # ours JOBS
  echo "rm -rf '$out' && mkdir -p '$out'/{ascii,grid,slope,contour} &&
    '$cli' run --input xyz --xyz-dir '$tiles' --ascii-dir '$out/ascii' --grid-dir '$out/grid' \
      --slope-dir '$out/slope' --contour-dir '$out/contour' --contour-interval $interval \
      --log '$out/log.txt' --jobs $1"
}
# One tile through the GDAL tools, as a user's script would chain them.
cat >"$work_dir/gdal_tile.sh" <<SH
#!/usr/bin/env bash
set -euo pipefail
xyz=\$1; out=\$2; name=\$(basename "\$xyz" .xyz)
gdal_translate -q -of AAIGrid "\$xyz" "\$out/ascii/\$name.asc"
gdal_translate -q -of GTiff "\$out/ascii/\$name.asc" "\$out/grid/\$name.tif"
gdaldem slope -q -compute_edges "\$out/grid/\$name.tif" "\$out/slope/\$name.tif"
gdal_contour -q -a CONTOUR -i $interval "\$out/grid/\$name.tif" "\$out/contour/\$name.shp"
SH
chmod +x "$work_dir/gdal_tile.sh"
peer() {  # peer PARALLEL
  echo "rm -rf '$out' && mkdir -p '$out'/{ascii,grid,slope,contour} &&
    ls '$tiles'/*.xyz | xargs -P $1 -I{} '$work_dir/gdal_tile.sh' {} '$out'"
}

export GDAL_PAM_ENABLED=NO  # no .aux.xml beside the inputs
echo "chain: $count tiles of $side x $side, contours every $interval, median of $runs" \
  "(load before: $(cut -d' ' -f1-3 /proc/loadavg))"
read -r ours1 ours1_mb < <("$measure" "$runs" bash -c "$(ours 1)")
read -r ours2 ours2_mb < <("$measure" "$runs" bash -c "$(ours 2)")
read -r peer1 peer1_mb < <("$measure" "$runs" bash -c "$(peer 1)")
read -r peer2 peer2_mb < <("$measure" "$runs" bash -c "$(peer 2)")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "  ours  --jobs 1 $ours1 s  --jobs 2 $ours2 s  speed-up $(ratio "$ours1" "$ours2")x" \
  "(peak MB $ours1_mb / $ours2_mb)"
echo "  GDAL  serial   $peer1 s  xargs -P 2 $peer2 s  speed-up $(ratio "$peer1" "$peer2")x"
echo "  GDAL / ours    at 1: $(ratio "$peer1" "$ours1")x   at 2: $(ratio "$peer2" "$ours2")x"
