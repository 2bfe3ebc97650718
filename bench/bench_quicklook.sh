#!/usr/bin/env bash
# What the pictures cost. First the chain on COUNT tiles of SIDE x SIDE (default 32 of 1000 x
# 1000) with --jobs 1 and --jobs 2: plain, with --report, and with --report --quicklook, the runs
# interleaved round after round in fresh folders. Then the report page of a run of HTML_COUNT
# tiny tiles (default 2,000 of 20 x 20): report --html with the pictures the run made, and with
# none, so that it draws every tile from the outputs on disk. Prints every run, then the medians
# and the share --quicklook adds (goal: at most 10%).
#   usage: bench/bench_quicklook.sh BUILD_DIR WORK_DIR [COUNT SIDE [HTML_COUNT HTML_SIDE]]
#   BENCH_RUNS=n (default 5)
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
bench_setup bench_quicklook.sh "$1" "$2"
count=${3:-32}
side=${4:-1000}
html_count=${5:-2000}
html_side=${6:-20}
runs=${BENCH_RUNS:-5}
cli=$build_dir/src/app/terravox-cli
outputs=$work_dir/quicklook-out
export GDAL_PAM_ENABLED=NO
rm -rf "$outputs" && mkdir -p "$outputs"
trap 'rm -rf "$outputs"' EXIT

# chain TILES OUT JOBS [EXTRA...]: the command line of one run into the fresh folder OUT.
chain() {
  local tiles=$1 out=$2 jobs=$3
  shift 3
  mkdir -p "$out"/{ascii,grid,slope,contour}
  echo "'$cli' run --input xyz --xyz-dir '$tiles' --ascii-dir '$out/ascii' --grid-dir '$out/grid'" \
    "--slope-dir '$out/slope' --contour-dir '$out/contour' --contour-interval 5" \
    "--log '$out/log.txt' --jobs $jobs $*"
}

big=$(tiles_folder "$count" "$side")
echo "quicklook: chain of $count tiles of $side x $side, $runs rounds; $(nproc) cores;" \
  "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A times
variants=(plain1 report1 quicklook1 plain2 report2 quicklook2)
for ((round = 1; round <= runs; ++round)); do
  for variant in "${variants[@]}"; do
    out=$outputs/$variant-$round
    case $variant in
      plain*) extra= ;;
      report*) extra="--report '$out/report.jsonl'" ;;
      quicklook*) extra="--report '$out/report.jsonl' --quicklook" ;;
    esac
    read -r seconds mb < <("$measure" 1 bash -c "$(chain "$big" "$out" "${variant: -1}" "$extra")")
    printf 'chain %dx%d  run %d  %-10s %8.3f s  peak %7.1f MB  load %s\n' "$count" "$side" \
      "$round" "$variant" "$seconds" "$mb" "$(cut -d' ' -f1 /proc/loadavg)"
    times[$variant]+="$seconds "
    # The folders of a round go once it is timed: 32 tiles of outputs are large.
    [ "$round" -gt 1 ] && rm -rf "$out"
  done
done
for variant in "${variants[@]}"; do
  printf 'chain %dx%d  median %-10s %8.3f s\n' "$count" "$side" "$variant" \
    "$(median "${times[$variant]}")"
done
for jobs in 1 2; do
  awk -v p="$(median "${times[plain$jobs]}")" -v r="$(median "${times[report$jobs]}")" \
    -v q="$(median "${times[quicklook$jobs]}")" -v j="$jobs" 'BEGIN {
    printf "quicklook goal, --jobs %d: +%.1f%% over --report, +%.1f%% over the plain chain (<= 10%%)\n",
      j, 100 * (q / r - 1), 100 * (q / p - 1) }'
done

small=$(tiles_folder "$html_count" "$html_side")
run=$outputs/html-run
echo "quicklook: report --html of $html_count tiles of $html_side x $html_side, $runs rounds" >&2
bash -c "$(chain "$small" "$run" 0 "--report '$run/report.jsonl' --quicklook")" 2>/dev/null
cp "$run/report.jsonl" "$run/bare.jsonl"
# The same records without their pictures: report --html draws every tile itself.
sed -i 's/,"quicklook":{[^}]*}//' "$run/bare.jsonl"
for ((round = 1; round <= runs; ++round)); do
  for variant in taken drawn; do
    report=$run/report.jsonl
    [ "$variant" = drawn ] && report=$run/bare.jsonl
    rm -rf "$run/page-$variant"*
    read -r seconds mb < <("$measure" 1 "$cli" report "$report" --html "$run/page-$variant.html")
    printf 'report --html %d tiles  run %d  pictures %-5s %8.3f s  peak %7.1f MB  load %s\n' \
      "$html_count" "$round" "$variant" "$seconds" "$mb" "$(cut -d' ' -f1 /proc/loadavg)"
    times[html-$variant]+="$seconds "
  done
done
for variant in taken drawn; do
  printf 'report --html %d tiles  median pictures %-5s %8.3f s\n' "$html_count" "$variant" \
    "$(median "${times[html-$variant]}")"
done
echo "quicklook: load after: $(cut -d' ' -f1-3 /proc/loadavg)"
