#!/usr/bin/env bash
# A private single-node Slurm cluster in a temporary folder, as the current user: munged,
# slurmctld and slurmd with a generated slurm.conf. Plays a cluster user's day through
# scripts/slurm/submit.sh and checks each verdict against one local run: every output byte for
# byte (COGs included), and the contour GeoPackage that the final job merges from the shards'
# feature for feature:
#   1. 3 shards at most 2 at once, a bad tile, one task requeued: the requeued task resumes (its
#      GeoPackage too), the final job says Stopped naming the bad tile, and the outputs equal one
#      local --keep-going run;
#   2. the tile mended, a --resume submission redoes only it, continuing the shards'
#      GeoPackages: Finished, no old failure named;
#      a --resume with another --tasks is refused before anything is queued;
#   3. a new submission into the same report folder with two tasks cancelled while pending:
#      Stopped, naming the two shards that never started;
#   4. those two rerun with sbatch --array=1-2, and the final job again: Finished.
# The daemons are stopped by their process ids.
#   usage: scripts/cluster_demo.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: cluster_demo.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."
repo=$PWD
cli=$build_dir/src/app/terravox-cli
[ -x "$cli" ] || { echo "cluster-demo: $cli is missing; build first" >&2; exit 1; }
export GDAL_PAM_ENABLED=NO
started=$EPOCHREALTIME
elapsed() { awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }'; }
say() { echo "cluster-demo: $*"; }
fail() { echo "cluster-demo: $*" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/terravox-cluster.XXXXXX")
chmod 755 "$work"  # munged wants its socket folder searchable by every user
pids=()
stop_daemons() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}
cleanup() {
  local status=$?
  stop_daemons
  if [ "$status" -ne 0 ]; then
    echo "cluster-demo: failed; logs kept in $work" >&2
    tail -n 20 "$work"/*.log >&2 2>/dev/null || true
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

# Free TCP ports for the two daemons, so the demo never meets a cluster already on this machine.
read -r ctld_port slurmd_port < <(python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')

user=$(id -un)
node=$(hostname -s)
cpus=$(nproc)
mkdir -p "$work"/{state,spool,munge}
chmod 700 "$work/munge"
mungekey --create --keyfile "$work/munge/munge.key" 2>/dev/null ||
  dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$work/munge/munge.key"
munged -F --force --key-file="$work/munge/munge.key" --socket="$work/munge.socket" \
  --pid-file="$work/munge/munged.pid" --log-file="$work/munged.log" \
  --seed-file="$work/munge/munged.seed" 2>>"$work/munged.log" &
pids+=($!)

cat >"$work/slurm.conf" <<CONF
ClusterName=terravoxdemo
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=$user
SlurmdUser=$user
AuthType=auth/munge
AuthInfo=socket=$work/munge.socket
CredType=cred/munge
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
MinJobAge=600
KillWait=5
NodeName=$node NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=demo Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF=$work/slurm.conf

for _ in $(seq 50); do [ -S "$work/munge.socket" ] && break; sleep 0.1; done
slurmctld -D -i -f "$SLURM_CONF" >"$work/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" >"$work/slurmd.out" 2>&1 &
pids+=($!)
for _ in $(seq 150); do
  state=$(sinfo -h -o %T 2>/dev/null || true)
  [ "$state" = idle ] && break
  sleep 0.2
done
[ "$state" = idle ] || fail "the node never came up ($state)"
say "cluster up after $(elapsed) s"

# Twelve tiles of 60 x 60 points on gently varying planes, tile05 with a height that is no number.
data=$work/data
reports=$data/reports
mkdir -p "$data/xyz"
python3 - "$data/xyz" <<'PY'
import sys
for t in range(12):
    with open(f"{sys.argv[1]}/tile{t:02d}.xyz", "w") as f:
        for y in range(0, 600, 10):
            for x in range(0, 600, 10):
                f.write(f"{x + 1000 * t} {y} {50 + t + 0.05 * x + 0.02 * y + (x * y) % 13 / 10}\r\n")
PY
cp "$data/xyz/tile05.xyz" "$work/tile05.good"
printf '0 0 high\r\n' >"$data/xyz/tile05.xyz"
for root in cluster local; do mkdir -p "$data/$root"/{ascii,grid,slope,contour,cog}; done
mkdir -p "$data/gpkg"
# The run's options, with the folders relative to $data as a user would give them. The
# GeoPackages lie apart: the cluster's shards leave theirs beside the merged one.
run_options() {
  echo --input xyz --xyz-dir xyz --ascii-dir "$1/ascii" --grid-dir "$1/grid" \
    --slope-dir "$1/slope" --contour-dir "$1/contour" --contour-interval 2 \
    --cog-dir "$1/cog" --contour-gpkg "gpkg/$1.gpkg"
}
submit() { (cd "$data" && bash "$repo/scripts/slurm/submit.sh" --cli "$cli" \
  --report-dir reports "$@") | tee "$work/submit.out"; }
job_of() { sed -n "s/.*$1 job \([0-9]*\).*/\1/p" "$work/submit.out"; }
# Waits until none of the jobs is pending, running or completing.
wait_jobs() {
  for _ in $(seq 600); do
    [ -z "$(squeue -h -j "$1" -t PD,R,CG,S 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  squeue >&2
  fail "jobs $1 still queued"
}
exit_code() { scontrol show job "$1" | sed -n 's/.* ExitCode=\([0-9:]*\).*/\1/p'; }
# Waits for the final job, prints what it said, and checks its exit code.
final_says() {
  wait_jobs "$1"
  say "final job $1 (exit $(exit_code "$1")) said:"
  sed 's/^/    /' "$reports/terravox-$1.out"
  [ "$(exit_code "$1")" = "$2" ] || fail "the final job's exit code is not $2"
}
# A GeoPackage's contour lines, one a line (geometry, tile, ID, CONTOUR), sorted.
contour_lines() {
  ogr2ogr -f CSV /vsistdout/ "$1" contours -lco GEOMETRY=AS_WKT | tail -n +2 | LC_ALL=C sort
}
# The cluster's outputs against one local run (with the extra options given) of the same tiles.
same_as_local() {
  rm -rf "$data/local"
  mkdir -p "$data/local"/{ascii,grid,slope,contour,cog}
  # shellcheck disable=SC2046  # the options hold no blanks: mktemp names do not
  (cd "$data" && "$cli" run $(run_options local) "$@" --log "$work/local.log" 2>/dev/null) || true
  diff -r "$data/local" "$data/cluster" >&2 || fail "the cluster's outputs differ from one local run"
  say "outputs equal one local run${*:+ $*}, byte for byte ($(find "$data/cluster" -type f | wc -l) files)"
  contour_lines "$data/gpkg/local.gpkg" >"$work/local.lines"
  contour_lines "$data/gpkg/cluster.gpkg" >"$work/cluster.lines"
  [ -s "$work/local.lines" ] || fail "the local run's GeoPackage holds no line"
  diff -q "$work/local.lines" "$work/cluster.lines" >&2 ||
    fail "the merged GeoPackage differs from the local run's"
  say "the merged GeoPackage holds the local run's $(wc -l <"$work/local.lines") lines" \
    "($(awk -F, '{ print $(NF - 2) }' "$work/local.lines" | sort -u | wc -l) tiles)"
}

say "1. three shards, at most two at once, a bad tile; shard 1 requeued"
# shellcheck disable=SC2046
submit --tasks 3 --cpus 1 --throttle 2 --requeue -- $(run_options cluster)
array=$(job_of array)
final=$(job_of final)
scontrol hold "$final"  # so the requeued task ends before the final job starts
for _ in $(seq 300); do [ -s "$reports/report.1.jsonl" ] && break; sleep 0.05; done
scontrol requeue "${array}_1"
# A requeued job waits a while before it may start again; the demo has no time to spare.
for _ in $(seq 100); do [ "$(squeue -h -j "${array}_1" -o %t)" = PD ] && break; sleep 0.1; done
scontrol update JobId="${array}_1" StartTime=now
say "requeued task ${array}_1"
wait_jobs "$array"
scontrol release "$final"
final_says "$final" 1:0
grep -q 'tile05.*failed xyz2ascii' "$reports/terravox-$final.out" || fail "tile05 is not named"
say "shard 1's report: its runs' ends"
grep '"step":"run"' "$reports/report.1.jsonl" | sed 's/^/    /'
starts=$(grep -c '"step":"start"' "$reports/report.1.jsonl")
[ "$starts" -eq 2 ] || fail "shard 1 ran $starts times, not twice"
python3 - "$reports/report.1.jsonl" <<'PY' || fail "the requeued task did work of its first attempt again"
import json, sys
done = set()
for line in open(sys.argv[1]):
    record = json.loads(line)
    if record.get("outcome") == "ok":
        key = (record["step"], record["input"])
        assert key not in done, key
        done.add(key)
PY
say "shard 1 ran twice; its second attempt resumed and did nothing of the first again"
same_as_local --keep-going

say "2. tile05 mended; --resume redoes only it"
cp "$work/tile05.good" "$data/xyz/tile05.xyz"
# shellcheck disable=SC2046
submit --tasks 3 --cpus 1 --resume -- $(run_options cluster)
final_says "$(job_of final)" 0:0
grep -q '^failures: 0$' "$reports/terravox-$(job_of final).out" || fail "an old failure is named"
same_as_local
# shellcheck disable=SC2046
if (cd "$data" && bash "$repo/scripts/slurm/submit.sh" --cli "$cli" --report-dir reports \
  --tasks 4 --resume -- $(run_options cluster)) 2>"$work/refused.out"; then
  fail "a --resume with another --tasks was submitted"
fi
say "refused: $(cat "$work/refused.out")"

say "3. a new submission into the same folder, tasks 1 and 2 cancelled while pending"
# shellcheck disable=SC2046
submit --tasks 3 --cpus 1 --sbatch --hold -- $(run_options cluster)
array=$(job_of array)
final=$(job_of final)
scancel "${array}_1" "${array}_2"
scontrol release "$array"
final_says "$final" 1:0
[ "$(grep -c '^ *shard [12]/3 never started$' "$reports/terravox-$final.out")" -eq 2 ] ||
  fail "the final job does not name both shards that never started"

say "4. shards 1 and 2 rerun with sbatch --array=1-2, then the final job again"
rerun=$(sbatch --parsable --array=1-2 --cpus-per-task=1 --chdir="$reports" \
  "$repo/scripts/slurm/terravox-array.sbatch" "$reports")
final=$(sbatch --parsable --dependency="afterany:${rerun%%;*}" --chdir="$reports" \
  "$repo/scripts/slurm/terravox-final.sbatch" "$reports")
final_says "${final%%;*}" 0:0
same_as_local

stop_daemons
say "passed in $(elapsed) s"
