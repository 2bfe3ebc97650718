#!/usr/bin/env bash
# Runs the benchmark scripts in the order of the chain, sharing one work folder, so each step
# starts from what the one before it made (XYZ lattice -> ASCII grid -> GRID -> slope, contours).   usage: bench/run_benchmarks.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build_dir=$(cd "${1:?usage: run_benchmarks.sh BUILD_DIR [WORK_DIR]}" && pwd)
work_dir=${2:-bench-output}
mkdir -p "$work_dir"
work_dir=$(cd "$work_dir" && pwd)
echo "machine: $(nproc) cores, $(uname -m), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
for step in gridder gridder_threads ascii2grid surface; do
  bash "$(dirname "$0")/bench_$step.sh" "$build_dir" "$work_dir"
done
# A 20000 x 20000 tile takes 14 GB of disk and several minutes a run: only when asked.
if [ "${BENCH_HUGE:-0}" = 1 ]; then
  bash "$(dirname "$0")/bench_gridder_huge.sh" "$build_dir" "$work_dir"
fi
# Many files: 32 tiles of 1000 x 1000, then 2,000 tiny tiles of 20 x 20. The GDAL pipeline starts
# four programs per tile, some 40 minutes a round on the tiny tiles: there ours is timed alone.
bash "$(dirname "$0")/bench_chain.sh" "$build_dir" "$work_dir" 32 1000
BENCH_PEERS=0 bash "$(dirname "$0")/bench_chain.sh" "$build_dir" "$work_dir" 2000 20
# The COG and GeoPackage outputs on the same 32 tiles, against the chain without them.
bash "$(dirname "$0")/bench_extra_outputs.sh" "$build_dir" "$work_dir" 32 1000
# The same cost counted in instructions, which a loaded machine does not change.
if command -v valgrind >/dev/null; then
  bash "$(dirname "$0")/bench_extra_outputs_instructions.sh" "$build_dir" "$work_dir"
fi
# What --quicklook adds to the chain, and the report page of many tiny tiles.
bash "$(dirname "$0")/bench_quicklook.sh" "$build_dir" "$work_dir" 32 1000
