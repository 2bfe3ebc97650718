#!/usr/bin/env bash
# Times our gridder (terravox-cli grid) on one 4000 x 4000 lattice (16 M points) with 1 thread,
# 2 threads and every core, against gdal_translate -of AAIGrid. The runs interleave (ours, then
# the peer, round after round) so that a change of load on the machine hits all alike. Prints
# every run, then the medians, the speed-ups and the peak memory, and checks that the grids of
# every thread count are byte for byte the same.
#   usage: bench/bench_gridder_threads.sh BUILD_DIR WORK_DIR    (BENCH_RUNS=n, default 5)
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
bench_setup bench_gridder_threads.sh "$@"
runs=${BENCH_RUNS:-5}
cli=$build_dir/src/app/terravox-cli
lattice=$work_dir/lattice_4000.xyz
[ -s "$lattice" ] || "$build_dir/bench/make_lattice" "$work_dir" 4000

echo "gridder threads: $(nproc) cores; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A times peaks
steps=(t1 t2 all gdal)
for ((round = 1; round <= runs; ++round)); do
  for step in "${steps[@]}"; do
    case $step in
      t1) command=("$cli" grid "$lattice" "$work_dir/lattice_4000_t1.asc" --threads 1
                   --log "$work_dir/gridder.log") ;;
      t2) command=("$cli" grid "$lattice" "$work_dir/lattice_4000_t2.asc" --threads 2
                   --log "$work_dir/gridder.log") ;;
      all) command=("$cli" grid "$lattice" "$work_dir/lattice_4000_all.asc" --threads 0
                    --log "$work_dir/gridder.log") ;;
      gdal) command=(sh -c 'rm -f "$2" && exec gdal_translate -q -of AAIGrid "$1" "$2"' sh
                     "$lattice" "$work_dir/lattice_4000_gdal.asc") ;;
    esac
    read -r seconds mb < <("$measure" 1 "${command[@]}")
    printf 'gridder threads  run %d  %-4s %8.3f s  peak %7.1f MB  load %s\n' "$round" "$step" \
      "$seconds" "$mb" "$(cut -d' ' -f1 /proc/loadavg)"
    times[$step]+="$seconds "
    peaks[$step]=$(awk -v a="${peaks[$step]:-0}" -v b="$mb" 'BEGIN { print (b > a ? b : a) }')
  done
done
for variant in t2 all; do
  if ! cmp -s "$work_dir/lattice_4000_t1.asc" "$work_dir/lattice_4000_$variant.asc"; then
    echo "gridder threads: the grid of $variant differs from one thread" >&2
    exit 1
  fi
done

t1=$(median "${times[t1]}")
t2=$(median "${times[t2]}")
all=$(median "${times[all]}")
gdal=$(median "${times[gdal]}")
for step in "${steps[@]}"; do
  printf 'gridder threads  median %-4s %8.3f s  peak %7.1f MB\n' "$step" \
    "$(median "${times[$step]}")" "${peaks[$step]}"
done
awk -v t1="$t1" -v t2="$t2" -v all="$all" -v gdal="$gdal" 'BEGIN {
  printf "gridder threads  goals: 1 thread / 2 threads %.2fx (>= 1.6), gdal_translate / every core %.1fx (>= 10)\n",
    t1 / t2, gdal / all }'
echo "gridder threads: load after: $(cut -d' ' -f1-3 /proc/loadavg)"
