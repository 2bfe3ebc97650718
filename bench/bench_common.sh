# Shared by the benchmark scripts: the synthetic terrain both GRID benchmarks start from when the
# step before them has not left its output.

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
