#!/usr/bin/env bash
# A private single-node Slurm cluster in a temporary folder, as the current user: munged,
# slurmctld and slurmd with a generated slurm.conf. Submits a 3-task Terravox array over 12
# generated tiles through scripts/slurm/submit.sh, waits for the final job, and checks every
# output byte for byte against one local run. The daemons are stopped by their process ids.
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
[ "$state" = idle ] || { echo "cluster-demo: the node never came up ($state)" >&2; exit 1; }
echo "cluster-demo: cluster up after $(elapsed) s"

# Twelve tiles of 60 x 60 points on gently varying planes, and the folders of a run.
data=$work/data
for root in "$data/cluster" "$data/local"; do mkdir -p "$root"/{ascii,grid,slope,contour}; done
mkdir -p "$data/xyz"
python3 - "$data/xyz" <<'PY'
import sys
for t in range(12):
    with open(f"{sys.argv[1]}/tile{t:02d}.xyz", "w") as f:
        for y in range(0, 600, 10):
            for x in range(0, 600, 10):
                f.write(f"{x + 1000 * t} {y} {50 + t + 0.05 * x + 0.02 * y + (x * y) % 13 / 10}\r\n")
PY
run_options() {
  echo --input xyz --xyz-dir "$data/xyz" --ascii-dir "$1/ascii" --grid-dir "$1/grid" \
    --slope-dir "$1/slope" --contour-dir "$1/contour" --contour-interval 2
}

# shellcheck disable=SC2046  # the options hold no blanks: mktemp names do not
bash scripts/slurm/submit.sh --tasks 3 --cpus 1 --cli "$cli" --report-dir "$data/reports" \
  -- $(run_options "$data/cluster") | tee "$work/submit.out"
final=$(sed -n 's/.*final job \([0-9]*\).*/\1/p' "$work/submit.out")
for _ in $(seq 600); do
  [ -z "$(squeue -h 2>/dev/null)" ] && break
  sleep 0.2
done
[ -z "$(squeue -h)" ] || { echo "cluster-demo: jobs still queued" >&2; squeue >&2; exit 1; }
final_exit=$(scontrol show job "$final" | sed -n 's/.* ExitCode=\([0-9:]*\).*/\1/p')
echo "cluster-demo: final job $final exit code $final_exit; it said:"
cat "$data/reports/terravox-$final.out"

# shellcheck disable=SC2046
"$cli" run $(run_options "$data/local") --log "$work/local.log" 2>/dev/null
if ! diff -r "$data/local" "$data/cluster" >&2; then
  echo "cluster-demo: the cluster's outputs differ from one local run" >&2
  exit 1
fi
[ "$final_exit" = "0:0" ] || { echo "cluster-demo: the final job did not finish" >&2; exit 1; }
files=$(find "$data/cluster" -type f | wc -l)
stop_daemons
echo "cluster-demo: passed: $files output files equal one local run, in $(elapsed) s"
