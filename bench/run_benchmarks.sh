#!/usr/bin/env bash
# Runs every bench/bench_*.sh in name order, sharing one work folder, so later steps can start
# from what earlier ones made.   usage: bench/run_benchmarks.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build_dir=$(cd "${1:?usage: run_benchmarks.sh BUILD_DIR [WORK_DIR]}" && pwd)
work_dir=${2:-bench-output}
mkdir -p "$work_dir"
work_dir=$(cd "$work_dir" && pwd)
echo "machine: $(nproc) cores, $(uname -m), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
for script in "$(dirname "$0")"/bench_*.sh; do
  bash "$script" "$build_dir" "$work_dir"
done
