#!/usr/bin/env bash
# Times our XYZ gridder (terravox-cli grid, one thread) on a 2000 x 2000 lattice, in row order
# (gridded in one streaming pass) and shuffled (read whole into memory), against GDAL's XYZ driver
# (gdal_translate -of AAIGrid, which needs row order) and against the floor, bench/xyz_floor: read
# in large blocks, memchr, from_chars, to_chars, write, nothing else. The runs interleave, round
# after round, so that a change of load on the machine hits all alike; every run is printed, then
# the medians, the speed in MB/s of XYZ text and the goals. Checks that both orders give the same
# grid. Leaves WORK_DIR/lattice.asc for the later benchmarks.
#   usage: bench/bench_gridder.sh BUILD_DIR WORK_DIR      (BENCH_RUNS=n sets the rounds, default 5)
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
megabytes=$(awk -v b="$(stat -c %s "$lattice")" 'BEGIN { print b / 1e6 }')

echo "gridder: $(nproc) cores; $megabytes MB of XYZ text; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A times peaks
steps=(rows shuffled gdal floor)
for ((round = 1; round <= runs; ++round)); do
  for step in "${steps[@]}"; do
    case $step in
      rows) command=("$cli" grid "$lattice" "$work_dir/lattice.asc" --threads 1
                     --log "$work_dir/gridder.log") ;;
      shuffled) command=("$cli" grid "$shuffled" "$work_dir/lattice_shuffled.asc" --threads 1
                         --log "$work_dir/gridder.log") ;;
      gdal) command=(sh -c 'rm -f "$2" && exec gdal_translate -q -of AAIGrid "$1" "$2"' sh
                     "$lattice" "$work_dir/lattice_gdal.asc") ;;
      floor) command=("$build_dir/bench/xyz_floor" "$lattice" "$work_dir/lattice_floor.txt") ;;
    esac
    read -r seconds mb < <("$measure" 1 "${command[@]}")
    printf 'gridder  run %d  %-8s %8.3f s  %7.1f MB/s  peak %7.1f MB  load %s\n' "$round" "$step" \
      "$seconds" "$(awk -v m="$megabytes" -v s="$seconds" 'BEGIN { print m / s }')" "$mb" \
      "$(cut -d' ' -f1 /proc/loadavg)"
    times[$step]+="$seconds "
    peaks[$step]=$(awk -v a="${peaks[$step]:-0}" -v b="$mb" 'BEGIN { print (b > a ? b : a) }')
  done
done
if ! cmp -s "$work_dir/lattice.asc" "$work_dir/lattice_shuffled.asc"; then
  echo "gridder: the shuffled lattice gave a different grid" >&2
  exit 1
fi

for step in "${steps[@]}"; do
  printf 'gridder  median %-8s %8.3f s  %7.1f MB/s  peak %7.1f MB\n' "$step" \
    "$(median "${times[$step]}")" \
    "$(awk -v m="$megabytes" -v s="$(median "${times[$step]}")" 'BEGIN { print m / s }')" \
    "${peaks[$step]}"
done
awk -v m="$megabytes" -v rows="$(median "${times[rows]}")" \
  -v mixed="$(median "${times[shuffled]}")" -v gdal="$(median "${times[gdal]}")" \
  -v floor="$(median "${times[floor]}")" 'BEGIN {
  printf "gridder  goals: row order %.0f MB/s, shuffled %.0f MB/s (>= 250 each); ", m / rows, m / mixed
  printf "row order / floor %.2f, shuffled / floor %.2f (<= 1.5); gdal_translate / ours %.1fx\n",
    rows / floor, mixed / floor, gdal / rows }'
echo "gridder: load after: $(cut -d' ' -f1-3 /proc/loadavg)"
