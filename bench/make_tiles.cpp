// make_tiles: writes the chain benchmark's input, COUNT XYZ tiles of SIDE x SIDE points (CR LF
// lines, blank separated) cut from one smooth terrain, as a survey delivers them.
//
//   make_tiles OUT_DIR COUNT SIDE    writes OUT_DIR/tile_0000.xyz ...
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text_file_writer.h"

namespace {

constexpr double kSpacing = 2.0;

// Hills and valleys in metres with centimetres, continuous across the tiles.
double Height(double x, double y) {
  return std::round(
             (300 + 40 * std::sin(x / 900) * std::cos(y / 700) + 8 * std::sin((x + y) / 130)) *
             100) /
         100;
}

bool WriteTile(const std::string& path, double west, double north, int side) {
  TextFileWriter file(path);
  if (!file.opened()) return false;
  char line[96];
  for (int row = 0; row < side; ++row) {
    for (int col = 0; col < side; ++col) {
      const double x = west + col * kSpacing;
      const double y = north - row * kSpacing;
      int length = std::snprintf(line, sizeof line, "%.1f %.1f %.2f\r\n", x, y, Height(x, y));
      file.Append(std::string_view(line, static_cast<size_t>(length)));
    }
  }
  return file.Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_tiles OUT_DIR COUNT SIDE\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int count = std::atoi(argv[2]);
  const int side = std::atoi(argv[3]);
  if (count < 1 || side < 2) {
    std::fprintf(stderr, "make_tiles: COUNT must be at least 1 and SIDE at least 2\n");
    return 2;
  }
  const int per_row = static_cast<int>(std::ceil(std::sqrt(count)));
  for (int t = 0; t < count; ++t) {
    char name[32];
    std::snprintf(name, sizeof name, "/tile_%04d.xyz", t);
    const double west = 500000 + (t % per_row) * side * kSpacing;
    const double north = 4200000 - (t / per_row) * side * kSpacing;
    if (!WriteTile(dir + name, west, north, side)) {
      std::perror(("make_tiles: " + dir + name).c_str());
      return 1;
    }
  }
  return 0;
}
