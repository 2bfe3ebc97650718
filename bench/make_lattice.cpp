// make_lattice: writes the benchmark's XYZ input, a 2000 x 2000 lattice of points (4 million
// CR LF lines, blank separated), once in row order and once shuffled with a fixed seed.
//
//   make_lattice OUT_DIR         writes OUT_DIR/lattice.xyz and OUT_DIR/lattice_shuffled.xyz
//   make_lattice OUT_DIR SIDE    writes OUT_DIR/lattice_SIDE.xyz, SIDE x SIDE points in row order
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "text_file_writer.h"

namespace {

int side = 2000;                    // points along each edge
constexpr double kWest = 512000.0;  // projected metres, like a UTM tile
constexpr double kNorth = 4189997.5;
constexpr double kSpacing = 2.5;

// A smooth terrain of two hills and a valley, in metres with centimetres.
double Height(int col, int row) {
  double u = col / static_cast<double>(side);
  double v = row / static_cast<double>(side);
  double hills = 80 * std::exp(-((u - 0.3) * (u - 0.3) + (v - 0.35) * (v - 0.35)) * 18) +
                 55 * std::exp(-((u - 0.72) * (u - 0.72) + (v - 0.6) * (v - 0.6)) * 25);
  double valley = -30 * std::exp(-(u - v) * (u - v) * 40);
  return std::round((420 + hills + valley + 6 * std::sin(u * 23) * std::cos(v * 17)) * 100) / 100;
}

std::string Line(int col, int row) {
  char line[96];
  int length = std::snprintf(line, sizeof line, "%.1f %.1f %.2f\r\n", kWest + col * kSpacing,
                             kNorth - row * kSpacing, Height(col, row));
  return std::string(line, static_cast<size_t>(length));
}

bool WriteLines(const std::string& path, const std::vector<uint32_t>& order) {
  TextFileWriter file(path);
  if (!file.opened()) return false;
  for (uint32_t index : order) {
    file.Append(Line(static_cast<int>(index % static_cast<uint32_t>(side)),
                     static_cast<int>(index / static_cast<uint32_t>(side))));
  }
  return file.Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: make_lattice OUT_DIR [SIDE]\n");
    return 2;
  }
  std::string dir = argv[1];
  if (argc == 3) {
    side = std::atoi(argv[2]);
    if (side < 2 || side > 30000) {
      std::fprintf(stderr, "make_lattice: SIDE must lie in 2 .. 30000\n");
      return 2;
    }
  }
  if (argc == 3) {
    // Row order needs no list of points: 20000 x 20000 would take 1.6 GB for it.
    std::string name = "/lattice_" + std::to_string(side) + ".xyz";
    TextFileWriter file(dir + name);
    if (file.opened()) {
      for (int row = 0; row < side; ++row) {
        for (int col = 0; col < side; ++col) file.Append(Line(col, row));
      }
    }
    if (!file.opened() || !file.Close()) {
      std::perror(("make_lattice: " + name.substr(1)).c_str());
      return 1;
    }
    return 0;
  }
  std::vector<uint32_t> order(static_cast<size_t>(side) * static_cast<size_t>(side));
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;  // north row first, west to east
  if (!WriteLines(dir + "/lattice.xyz", order)) {
    std::perror("make_lattice: lattice.xyz");
    return 1;
  }
  // Fisher-Yates with the engine's own output: the same file on every standard library.
  std::mt19937_64 random(20240601);
  for (size_t i = order.size() - 1; i > 0; --i) std::swap(order[i], order[random() % (i + 1)]);
  if (!WriteLines(dir + "/lattice_shuffled.xyz", order)) {
    std::perror("make_lattice: lattice_shuffled.xyz");
    return 1;
  }
  return 0;
}
