#!/usr/bin/env bash
# The whole chain over many tiles: terravox-cli with --jobs 1 and --jobs 2 against the same chain
# as a GDAL shell pipeline (gdal_translate XYZ -> AAIGrid -> GTiff, gdaldem slope -compute_edges,
# gdal_contour), one tile after another and with xargs -P 2. The runs interleave (ours at 1 and
# 2, then the peer at 1 and 2, round after round) so that a change of load on the machine hits
# all alike. Prints every run, then the medians, the cost per file, the speed-ups and the peak
# memory, and checks that the outputs and log of --jobs 2, and of a run that reads every grid back
# from disk (--no-hand-over), are byte for byte those of --jobs 1. Then one more --jobs 1 run with
# a report breaks its time down by step: the seconds per tile each step took (one thread, so CPU
# seconds), beside the run's own CPU seconds.
#
# Every run writes into a fresh folder, and the outputs are removed only at the end: deleting
# tens of thousands of files just before a run makes ext4 (mounted with discard, as here) slow to
# create new ones for minutes after, which would time the file system's clean-up, not the tools.
#   usage: bench/bench_chain.sh BUILD_DIR WORK_DIR [COUNT SIDE]   (default 32 tiles of 1000 x 1000)
#   BENCH_RUNS=n (default 5); BENCH_PEERS=0 times ours only.
set -euo pipefail
source "$(dirname "$0")/bench_common.sh"
bench_setup bench_chain.sh "$1" "$2"
count=${3:-32}
side=${4:-1000}
runs=${BENCH_RUNS:-5}
peers=${BENCH_PEERS:-1}
interval=5
cli=$build_dir/src/app/terravox-cli
tiles=$(tiles_folder "$count" "$side")
outputs=$work_dir/chain-out-$count-$side

rm -rf "$outputs" && mkdir -p "$outputs"
trap 'rm -rf "$outputs"' EXIT

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

# command VARIANT OUT: the command line of one run writing into the fresh folder OUT.
command_of() {
  local out=$2
  case $1 in
    ours1 | ours2)
      echo "'$cli' run --input xyz --xyz-dir '$tiles' --ascii-dir '$out/ascii' \
        --grid-dir '$out/grid' --slope-dir '$out/slope' --contour-dir '$out/contour' \
        --contour-interval $interval --log '$out/log.txt' --jobs ${1#ours}" ;;
    gdal1 | gdal2)
      echo "ls '$tiles'/*.xyz | xargs -P ${1#gdal} -I{} '$work_dir/gdal_tile.sh' {} '$out'" ;;
  esac
}

export GDAL_PAM_ENABLED=NO  # no .aux.xml beside the inputs
variants=(ours1 ours2)
[ "$peers" = 0 ] || variants+=(gdal1 gdal2)
echo "chain: $count tiles of $side x $side, contours every $interval, $runs rounds;" \
  "$(nproc) cores; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A times peaks
for ((round = 1; round <= runs; ++round)); do
  for variant in "${variants[@]}"; do
    out=$outputs/$variant-$round
    mkdir -p "$out"/{ascii,grid,slope,contour}
    read -r seconds mb < <("$measure" 1 bash -c "$(command_of "$variant" "$out")")
    printf 'chain %dx%d  run %d  %-5s %8.3f s  peak %7.1f MB  load %s\n' "$count" "$side" \
      "$round" "$variant" "$seconds" "$mb" "$(cut -d' ' -f1 /proc/loadavg)"
    times[$variant]+="$seconds "
    peaks[$variant]=$(awk -v a="${peaks[$variant]:-0}" -v b="$mb" 'BEGIN { print (b > a ? b : a) }')
  done
done
if ! diff -r "$outputs/ours1-1" "$outputs/ours2-1" >/dev/null; then
  echo "bench_chain: the outputs of --jobs 2 differ from --jobs 1" >&2
  exit 1
fi
out=$outputs/read-back
mkdir -p "$out"/{ascii,grid,slope,contour}
read -r seconds mb < <("$measure" 1 bash -c "$(command_of ours1 "$out") --no-hand-over")
printf 'chain %dx%d  --jobs 1 --no-hand-over %8.3f s  peak %7.1f MB\n' "$count" "$side" "$seconds" "$mb"
if ! diff -r "$outputs/ours1-1" "$out" >/dev/null; then
  echo "bench_chain: the outputs of --no-hand-over differ from the hand-over's" >&2
  exit 1
fi

# The breakdown: CPU seconds of the whole run (children's user + system) and each step's seconds
# per tile from the report, both per tile.
out=$outputs/breakdown
mkdir -p "$out"/{ascii,grid,slope,contour}
python3 - "$count" "$out/report.jsonl" bash -c "$(command_of ours1 "$out") --report '$out/report.jsonl'" <<'PY'
import collections, json, resource, subprocess, sys, time
count, report, command = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
start = time.monotonic()
subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
wall = time.monotonic() - start
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
steps = collections.OrderedDict()
for line in open(report):
    record = json.loads(line)
    if "seconds" in record and record.get("outcome") == "ok":
        steps[record["step"]] = steps.get(record["step"], 0.0) + record["seconds"]
cpu = usage.ru_utime + usage.ru_stime
print("chain breakdown --jobs 1: wall %.3f s, CPU %.3f s = %.1f ms per tile; per tile:" %
      (wall, cpu, 1000 * cpu / count), "  ".join(
          "%s %.1f ms" % (step, 1000 * seconds / count) for step, seconds in steps.items()),
      "  (rest %.1f ms)" % (1000 * (cpu - sum(steps.values())) / count))
PY

for variant in "${variants[@]}"; do
  seconds=$(median "${times[$variant]}")
  printf 'chain %dx%d  median %-5s %8.3f s  %8.2f ms per file  peak %7.1f MB\n' "$count" \
    "$side" "$variant" "$seconds" "$(awk -v s="$seconds" -v n="$count" 'BEGIN { print 1000 * s / n }')" \
    "${peaks[$variant]}"
done
ours1=$(median "${times[ours1]}")
ours2=$(median "${times[ours2]}")
if [ "$peers" = 0 ]; then
  awk -v o1="$ours1" -v o2="$ours2" 'BEGIN {
    printf "chain goals: --jobs 1 / --jobs 2 %.2fx\n", o1 / o2 }'
else
  awk -v o1="$ours1" -v o2="$ours2" -v g1="$(median "${times[gdal1]}")" \
    -v g2="$(median "${times[gdal2]}")" 'BEGIN {
    printf "chain goals: --jobs 1 / --jobs 2 %.2fx (>= 1.7); GDAL / ours %.2fx at 1, %.2fx at 2 (>= 10)\n",
      o1 / o2, g1 / o1, g2 / o2 }'
fi
echo "chain: load after: $(cut -d' ' -f1-3 /proc/loadavg)"
