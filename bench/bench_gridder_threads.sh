#!/usr/bin/env bash
# Times our gridder (terravox-cli grid) on one 4000 x 4000 lattice written row by row (16 M points,
# gridded in one streaming pass) with 1 thread, 2 threads and every core, read whole into memory
# (--in-memory, every core) and, when BENCH_OLD_CLI names an earlier terravox-cli, with that one
# (every core), against gdal_translate -of AAIGrid. The runs interleave (ours, then the peer,
# round after round) so that a change of load on the machine hits all alike. Prints every run,
# then the medians, the speed-ups, the peak memory and the goals, and checks that every grid is
# byte for byte the same.
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
steps=(t1 t2 all whole gdal)
[ -n "${BENCH_OLD_CLI:-}" ] && steps+=(old)
for ((round = 1; round <= runs; ++round)); do
  for step in "${steps[@]}"; do
    out=$work_dir/lattice_4000_$step.asc
    case $step in
      t1) command=("$cli" grid "$lattice" "$out" --threads 1 --log "$work_dir/gridder.log") ;;
      t2) command=("$cli" grid "$lattice" "$out" --threads 2 --log "$work_dir/gridder.log") ;;
      all) command=("$cli" grid "$lattice" "$out" --threads 0 --log "$work_dir/gridder.log") ;;
      whole) command=("$cli" grid "$lattice" "$out" --threads 0 --in-memory
                      --log "$work_dir/gridder.log") ;;
      old) command=("$BENCH_OLD_CLI" grid "$lattice" "$out" --threads 0
                    --log "$work_dir/gridder.log") ;;
      gdal) command=(sh -c 'rm -f "$2" && exec gdal_translate -q -of AAIGrid "$1" "$2"' sh
                     "$lattice" "$out") ;;
    esac
    read -r seconds mb < <("$measure" 1 "${command[@]}")
    printf 'gridder threads  run %d  %-5s %8.3f s  peak %7.1f MB  load %s\n' "$round" "$step" \
      "$seconds" "$mb" "$(cut -d' ' -f1 /proc/loadavg)"
    times[$step]+="$seconds "
    peaks[$step]=$(awk -v a="${peaks[$step]:-0}" -v b="$mb" 'BEGIN { print (b > a ? b : a) }')
  done
done
for variant in "${steps[@]}"; do
  [ "$variant" = gdal ] && continue
  if ! cmp -s "$work_dir/lattice_4000_t1.asc" "$work_dir/lattice_4000_$variant.asc"; then
    echo "gridder threads: the grid of $variant differs from one thread" >&2
    exit 1
  fi
done

for step in "${steps[@]}"; do
  printf 'gridder threads  median %-5s %8.3f s  peak %7.1f MB\n' "$step" \
    "$(median "${times[$step]}")" "${peaks[$step]}"
done
old=$( [ -n "${BENCH_OLD_CLI:-}" ] && median "${times[old]}" || echo 0)
awk -v t1="$(median "${times[t1]}")" -v t2="$(median "${times[t2]}")" \
  -v all="$(median "${times[all]}")" -v whole="$(median "${times[whole]}")" -v old="$old" \
  -v gdal="$(median "${times[gdal]}")" -v peak="${peaks[all]}" -v gdal_peak="${peaks[gdal]}" 'BEGIN {
  printf "gridder threads  goals: 1 thread / 2 threads %.2fx (>= 1.6); peak / gdal_translate peak %.2f (<= 1.5);",
    t1 / t2, peak / gdal_peak
  printf " every core / in memory %.2f", all / whole
  if (old > 0) printf ", every core / earlier gridder %.2f", all / old
  printf " (<= 1); gdal_translate / every core %.1fx\n", gdal / all }'
echo "gridder threads: load after: $(cut -d' ' -f1-3 /proc/loadavg)"
