#!/usr/bin/env bash
# A tile of any size in little memory: our gridder (terravox-cli grid, every core) on a
# 20000 x 20000 lattice written row by row (400 M points, about 11 GB of XYZ text and 3 GB of
# grid), against the same gridder on the 4000 x 4000 lattice in the same run, whose time times
# the ratio of points (25) bounds it. Prints every run, the medians, the peak memory, the disk
# the big tile took (input, grid and the grid's temporary) and the goals; the big files are
# removed at the end.
#   usage: bench/bench_gridder_huge.sh BUILD_DIR WORK_DIR   (BENCH_RUNS=n, default 5; SIDE=n
#   sets the big side, default 20000)
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
bench_setup bench_gridder_huge.sh "$@"
runs=${BENCH_RUNS:-5}
side=${SIDE:-20000}
cli=$build_dir/src/app/terravox-cli
small=$work_dir/lattice_4000.xyz
[ -s "$small" ] || "$build_dir/bench/make_lattice" "$work_dir" 4000
big=$work_dir/lattice_$side.xyz
trap 'rm -f "$big" "$work_dir/lattice_${side}_out.asc"' EXIT
echo "gridder huge: making $big ($(df -h --output=avail "$work_dir" | tail -1 | tr -d ' ') free)" >&2
[ -s "$big" ] || "$build_dir/bench/make_lattice" "$work_dir" "$side"
echo "gridder huge: $(nproc) cores; input $(du -h "$big" | cut -f1); load before: $(cut -d' ' -f1-3 /proc/loadavg)"

declare -A times peaks
for ((round = 1; round <= runs; ++round)); do
  for step in small big; do
    if [ "$step" = small ]; then in=$small; else in=$big; fi
    read -r seconds mb < <("$measure" 1 "$cli" grid "$in" "$work_dir/lattice_${side}_out.asc" \
      --log "$work_dir/gridder.log")
    [ "$step" = small ] || grid_bytes=$(stat -c %s "$work_dir/lattice_${side}_out.asc")
    printf 'gridder huge  run %d  %-5s %9.3f s  peak %7.1f MB  load %s\n' "$round" "$step" \
      "$seconds" "$mb" "$(cut -d' ' -f1 /proc/loadavg)"
    times[$step]+="$seconds "
    peaks[$step]=$(awk -v a="${peaks[$step]:-0}" -v b="$mb" 'BEGIN { print (b > a ? b : a) }')
  done
done
for step in small big; do
  printf 'gridder huge  median %-5s %9.3f s  peak %7.1f MB\n' "$step" "$(median "${times[$step]}")" \
    "${peaks[$step]}"
done
awk -v small="$(median "${times[small]}")" -v big="$(median "${times[big]}")" \
  -v peak="${peaks[big]}" -v points="$(awk -v s="$side" 'BEGIN { print s * s / 16e6 }')" \
  -v input="$(stat -c %s "$big")" -v grid="$grid_bytes" 'BEGIN {
  printf "gridder huge  disk: input %.1f GB + grid %.1f GB (rows that came south first take the grid twice while they are turned)\n",
    input / 1e9, grid / 1e9
  printf "gridder huge  goals: peak %.0f MB (< 2048); time / 4000 x 4000 time %.1f for %.0fx the points (<= 27)\n",
    peak, big / small, points }'
