# Shared by the benchmark scripts: their arguments, and the synthetic terrain both GRID
# benchmarks start from when the step before them has not left its output.

# bench_setup SCRIPT_NAME BUILD_DIR WORK_DIR: sets build_dir and work_dir (absolute, work_dir
# created) and measure, the process timer.
bench_setup() {
  local usage="usage: $1 BUILD_DIR WORK_DIR"
  build_dir=$(cd "${2:?$usage}" && pwd)
  work_dir=${3:?$usage}
  mkdir -p "$work_dir"
  work_dir=$(cd "$work_dir" && pwd)
  measure=$build_dir/bench/measure
}

# tiles_folder COUNT SIDE: the folder of COUNT synthetic XYZ tiles of SIDE x SIDE in work_dir,
# made once and shared by the benchmarks that run the chain.
tiles_folder() {
  local folder=$work_dir/chain-$1-$2
  if [ ! -f "$folder/.complete" ]; then
    echo "bench: making $1 tiles of $2 x $2 in $folder" >&2
    rm -rf "$folder" && mkdir -p "$folder"
    "$build_dir/bench/make_tiles" "$folder" "$1" "$2"
    touch "$folder/.complete"
  fi
  echo "$folder"
}

# A 2000 x 2000 terrain with centimetre heights and a few no-data cells, as an ESRI ASCII grid.
make_ascii_lattice() {
  awk -v n=2000 'BEGIN {
    printf "ncols %d\r\nnrows %d\r\nxllcorner 512000\r\nyllcorner 4185000\r\n", n, n
    printf "cellsize 2.5\r\nNODATA_value -9999\r\n"
    for (r = 0; r < n; ++r) {
      line = ""
      for (c = 0; c < n; ++c) {
        z = 420 + 80 * sin(c / 170.0) * cos(r / 230.0) + 6 * sin((c + r) / 61.0)
        if ((c * 7 + r * 13) % 997 == 0) line = line (c ? " -9999" : "-9999")
        else line = line sprintf(c ? " %.2f" : "%.2f", z)
      }
      printf "%s\r\n", line
    }
  }' >"$1"
}

# median "T1 T2 ...": the middle of the numbers (the lower middle of an even count).
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
