#!/usr/bin/env bash
# Submits a Terravox run to Slurm: a job array of N shards, then the final job that merges their
# reports and says whether the run finished. Prints the two job ids.
#   scripts/slurm/submit.sh [--tasks N] [--cpus C] [--cli PATH] [--report-dir D] [--resume]
#                           -- RUN-OPTIONS...
# RUN-OPTIONS are terravox-cli run's (--input, the folders, ...), with absolute paths. The
# folders must be on a file system every node shares. Other sbatch settings come from the
# environment (SBATCH_PARTITION, SBATCH_TIMELIMIT, ...). A resubmission with --resume does
# only what the last one left.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tasks=4
cpus=1
cli=$(command -v terravox-cli || true)
report_dir=$PWD/terravox-reports
resume=()
usage() { sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --tasks) tasks=$2; shift 2 ;;
    --cpus) cpus=$2; shift 2 ;;
    --cli) cli=$2; shift 2 ;;
    --report-dir) report_dir=$2; shift 2 ;;
    --resume) resume=(--resume); shift ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
[ -n "$cli" ] && [ -x "$cli" ] || { echo "submit: terravox-cli not found; give --cli PATH" >&2; exit 2; }
[ "$tasks" -ge 1 ] 2>/dev/null || usage
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
mkdir -p "$report_dir"
report_dir=$(cd "$report_dir" && pwd)

array=$(sbatch --parsable --array="0-$((tasks - 1))" --cpus-per-task="$cpus" \
  --chdir="$report_dir" "$here/terravox-array.sbatch" "$cli" "$report_dir" "$@" "${resume[@]}")
array=${array%%;*}
final=$(sbatch --parsable --dependency="afterany:$array" --chdir="$report_dir" \
  "$here/terravox-final.sbatch" "$cli" "$report_dir" "$tasks")
final=${final%%;*}
echo "array job $array ($tasks shards), final job $final; reports in $report_dir"
