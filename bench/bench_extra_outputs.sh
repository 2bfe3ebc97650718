#!/usr/bin/env bash
# What --cog-dir and --contour-gpkg add to the whole chain: terravox-cli with --jobs 1 and 2, each
# without and with both outputs, in interleaved rounds (so a change of load hits all alike), every
# run in a fresh folder. Prints every run (wall and CPU seconds), the medians and the cost of the
# outputs (goal: at most 1.25 times the chain without them), and checks that the usual outputs are
# byte for byte the same with and without them. It also prints the least time the outputs' CPU
# seconds allow on this machine's cores, however well they were spread: what no scheduling beats.
#   usage: bench/bench_extra_outputs.sh BUILD_DIR WORK_DIR [COUNT SIDE]   (default 32 x 1000 x 1000)
#   BENCH_RUNS=n (default 5).
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
bench_setup bench_extra_outputs.sh "$1" "$2"
count=${3:-32}
side=${4:-1000}
runs=${BENCH_RUNS:-5}
cli=$build_dir/src/app/terravox-cli
tiles=$(tiles_folder "$count" "$side")
outputs=$work_dir/extra-out-$count-$side

rm -rf "$outputs" && mkdir -p "$outputs"
trap 'rm -rf "$outputs"' EXIT

# command VARIANT OUT: plainN is the chain with --jobs N, extrasN the same with both outputs.
command_of() {
  local out=$2 jobs=${1: -1} extra=""
  [[ $1 == extras* ]] && extra="--cog-dir '$out/cog' --contour-gpkg '$out/contours.gpkg'"
  echo "'$cli' run --input xyz --xyz-dir '$tiles' --ascii-dir '$out/ascii' \
    --grid-dir '$out/grid' --slope-dir '$out/slope' --contour-dir '$out/contour' \
    --contour-interval 5 --log '$out/log.txt' --jobs $jobs $extra"
}

variants=(plain1 extras1 plain2 extras2)
echo "extra outputs: $count tiles of $side x $side, $runs rounds; $(nproc) cores;" \
  "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A times cpus ratios bounds
for ((round = 1; round <= runs; ++round)); do
  for variant in "${variants[@]}"; do
    out=$outputs/$variant-$round
    mkdir -p "$out"/{ascii,grid,slope,contour,cog}
    read -r seconds mb cpu < <("$measure" --cpu 1 bash -c "$(command_of "$variant" "$out")")
    printf 'extra outputs %dx%d  run %d  %-7s %8.3f s  cpu %8.3f s  peak %7.1f MB  load %s\n' \
      "$count" "$side" "$round" "$variant" "$seconds" "$cpu" "$mb" "$(cut -d' ' -f1 /proc/loadavg)"
    times[$variant]+="$seconds "
    cpus[$variant]+="$cpu "
    # Each round's own ratio: a machine whose speed drifts between rounds skews the medians'.
    if [[ $variant == extras* ]]; then
      jobs=${variant: -1}
      read -r ratio bound < <(awk -v p="$plain_seconds" -v e="$seconds" -v ec="$cpu" \
        -v cores="$(nproc)" 'BEGIN { b = ec / cores / p; print e / p, (b > 1 ? b : 1) }')
      ratios[$jobs]+="$ratio "
      bounds[$jobs]+="$bound "
    else
      plain_seconds=$seconds
    fi
  done
done
for folder in ascii grid slope contour; do
  if ! diff -r "$outputs/plain1-1/$folder" "$outputs/extras1-1/$folder" >/dev/null; then
    echo "bench_extra_outputs: the $folder outputs differ with --cog-dir and --contour-gpkg" >&2
    exit 1
  fi
done

for variant in "${variants[@]}"; do
  printf 'extra outputs %dx%d  median %-7s %8.3f s  cpu %8.3f s\n' "$count" "$side" "$variant" \
    "$(median "${times[$variant]}")" "$(median "${cpus[$variant]}")"
done
# A run cannot end before its CPU seconds, spread over every core, are spent: with the chain's
# cores already busy, the outputs' own CPU seconds set a least cost no scheduling can beat.
for jobs in 1 2; do
  printf 'extra outputs goal at --jobs %d: with / without %.2fx (medians), %.2fx (median of the' \
    "$jobs" "$(awk -v p="$(median "${times[plain$jobs]}")" -v e="$(median "${times[extras$jobs]}")" \
    'BEGIN { print e / p }')" "$(median "${ratios[$jobs]}")"
  printf " rounds' own), goal <= 1.25; least the outputs' CPU allows on %d cores: %.2fx\n" \
    "$(nproc)" "$(median "${bounds[$jobs]}")"
done
# How much of a tile's COG time is their compression, on the first tile the chain made.
first=$(ls "$outputs/plain1-1/grid" | head -1)
if /usr/bin/python3 -c 'import osgeo' 2>/dev/null; then
  /usr/bin/python3 "$(dirname "$0")/cog_codec_cost.py" "$outputs/plain1-1/grid/$first" \
    "$outputs/plain1-1/slope/$first"
fi
echo "extra outputs: load after: $(cut -d' ' -f1-3 /proc/loadavg)"
