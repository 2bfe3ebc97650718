#!/usr/bin/env bash
# Submits a Terravox run to Slurm: a job array of N shards, then the final job that accounts for
# every shard and tile and says whether the run finished. Prints the two job ids.
#   scripts/slurm/submit.sh [--tasks N] [--cpus C] [--cli PATH] [--report-dir D] [--resume]
#       [--throttle K] [--time T] [--mem M] [--partition P] [--requeue] [--no-keep-going]
#       [--sbatch OPTION]... -- RUN-OPTIONS...
# RUN-OPTIONS are terravox-cli run's (--input, the folders, ...); relative paths are taken from
# here. The folders must be on a file system every node shares. --throttle runs at most K tasks
# at once; --time, --mem and --requeue are the array tasks' (a requeued task resumes its shard);
# --partition is both jobs'; each --sbatch OPTION goes to the array's sbatch alone. Runs keep
# going past failed files unless --no-keep-going. Nothing is queued when the run would stop at
# once. Without --resume the folder's earlier reports are moved to D/previous/ID; --resume does
# only what the last submission into D left, with the same --tasks, and continues its shards'
# contour GeoPackages (each task writes FILE.shard-K of --contour-gpkg FILE, or %K replaced; the
# final job merges them into FILE).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tasks=4
cpus=1
cli=$(command -v terravox-cli || true)
report_dir=$PWD/terravox-reports
resume=false
keep_going=true
throttle=
array_options=()
both_options=()
usage() { sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
fail() { echo "submit: $*" >&2; exit 1; }
need() { [ $# -ge 2 ] || usage; }
while [ $# -gt 0 ]; do
  case "$1" in
    --tasks) need "$@"; tasks=$2; shift 2 ;;
    --cpus) need "$@"; cpus=$2; shift 2 ;;
    --cli) need "$@"; cli=$2; shift 2 ;;
    --report-dir) need "$@"; report_dir=$2; shift 2 ;;
    --resume) resume=true; shift ;;
    --throttle) need "$@"; throttle=$2; shift 2 ;;
    --time) need "$@"; array_options+=("--time=$2"); shift 2 ;;
    --mem) need "$@"; array_options+=("--mem=$2"); shift 2 ;;
    --partition) need "$@"; both_options+=("--partition=$2"); shift 2 ;;
    --requeue) array_options+=(--requeue); shift ;;
    --no-keep-going) keep_going=false; shift ;;
    --sbatch) need "$@"; array_options+=("$2"); shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
[ -n "$cli" ] && [ -x "$cli" ] || fail "terravox-cli not found; give --cli PATH"
[[ "$tasks" =~ ^[1-9][0-9]*$ ]] || fail "--tasks takes a whole number of 1 or more, not $tasks"
[[ "$cpus" =~ ^[1-9][0-9]*$ ]] || fail "--cpus takes a whole number of 1 or more, not $cpus"
[ -z "$throttle" ] || [[ "$throttle" =~ ^[1-9][0-9]*$ ]] ||
  fail "--throttle takes a whole number of 1 or more, not $throttle"
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")

# The run's options, with the folders made absolute: the tasks start in the report folder.
absolute() { case "$1" in /*) printf '%s' "$1" ;; *) printf '%s/%s' "$PWD" "$1" ;; esac; }
options=()
while [ $# -gt 0 ]; do
  case "$1" in
    --shard | --shard=* | --report | --report=* | --log | --log=* | --jobs | --jobs=* | \
      --resume | --submission | --submission=*)
      fail "give ${1%%=*} to submit.sh's own options, not to the run: the tasks set it" ;;
    --keep-going) keep_going=true; shift ;;
    --xyz-dir | --ascii-dir | --grid-dir | --slope-dir | --contour-dir | --cog-dir | \
      --contour-gpkg | --manifest)
      [ $# -ge 2 ] || fail "$1 needs a value"
      options+=("$1" "$(absolute "$2")"); shift 2 ;;
    --xyz-dir=* | --ascii-dir=* | --grid-dir=* | --slope-dir=* | --contour-dir=* | --cog-dir=* | \
      --contour-gpkg=* | --manifest=*)
      options+=("${1%%=*}" "$(absolute "${1#*=}")"); shift ;;
    *) options+=("$1"); shift ;;
  esac
done
[ "$keep_going" = true ] && options+=(--keep-going)

# A run that would stop at once is not queued: the same messages as a run here would give. The
# report is the tasks' own (--quicklook needs one).
if ! "$cli" plan --validate-only "${options[@]}" --report "$(absolute "$report_dir")/report.%K.jsonl"
then
  fail "nothing was submitted: the run would stop at once"
fi

mkdir -p "$report_dir"
report_dir=$(cd "$report_dir" && pwd)
shopt -s nullglob
reports=("$report_dir"/report.*.jsonl)
if [ "$resume" = true ]; then
  # A shard resumes its own report only: another count would give its tiles to other shards.
  for report in "${reports[@]}"; do
    last=$(grep -o '"shard":"[0-9]*/[0-9]*"' "$report" | tail -n 1 | sed 's/.*\/\([0-9]*\)"/\1/')
    [ -z "$last" ] || [ "$last" = "$tasks" ] ||
      fail "cannot resume with --tasks $tasks: the reports in $report_dir were written by" \
        "$last tasks; resume with --tasks $last, or submit afresh without --resume"
  done
else
  earlier=()
  for file in "${reports[@]}" "$report_dir"/report.jsonl "$report_dir"/xyz2ascii.*.log \
    "$report_dir"/submission "$report_dir"/submission.args; do
    [ -e "$file" ] && earlier+=("$file")
  done
  if [ ${#earlier[@]} -gt 0 ]; then
    old=$(sed -n 's/^id=//p' "$report_dir/submission" 2>/dev/null || true)
    aside=$report_dir/previous/${old:-before-$(date -u +%Y%m%dT%H%M%SZ)}
    mkdir -p "$aside"
    mv -f "${earlier[@]}" "$aside"/
    echo "submit: the reports of the earlier submission are now in $aside"
  fi
fi

# The submission: its id (recorded in every report), its shard count and the run's options, read
# by every task (also one rerun with sbatch --array=...) and by the final job.
id=$(date -u +%Y%m%dT%H%M%SZ)-$(hostname -s)-$$
printf 'id=%s\ntasks=%s\ncli=%s\n' "$id" "$tasks" "$cli" >"$report_dir/submission.tmp"
printf '%s\0' "${options[@]}" >"$report_dir/submission.args.tmp"
mv -f "$report_dir/submission.args.tmp" "$report_dir/submission.args"
mv -f "$report_dir/submission.tmp" "$report_dir/submission"

range=0-$((tasks - 1))${throttle:+%$throttle}
array=$(sbatch --parsable --array="$range" --cpus-per-task="$cpus" "${both_options[@]}" \
  "${array_options[@]}" --chdir="$report_dir" "$here/terravox-array.sbatch" "$report_dir" "$id")
array=${array%%;*}
# An exported SBATCH_ARRAY_INX would make the final job an array too.
if ! final=$(env -u SBATCH_ARRAY_INX sbatch --parsable --dependency="afterany:$array" \
  "${both_options[@]}" --chdir="$report_dir" "$here/terravox-final.sbatch" "$report_dir" "$id"); then
  scancel "$array" || true
  fail "the final job could not be submitted; array job $array was cancelled"
fi
final=${final%%;*}
echo "submission $id: array job $array ($tasks shards), final job $final; reports in $report_dir"
echo "to rerun shards of it (say 1 and 5), then account for it again:"
echo "  sbatch --array=1,5 --cpus-per-task=$cpus $here/terravox-array.sbatch $report_dir"
echo "  sbatch --dependency=afterany:JOB $here/terravox-final.sbatch $report_dir"
