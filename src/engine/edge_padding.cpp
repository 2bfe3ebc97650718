// ExtrapolateBorder: the linear one-cell border around a raster held in memory.
#include "engine/edge_padding.h"

#include <cmath>

namespace terravox::engine {
namespace {

bool IsNoData(float cell, float nodata) { return std::isnan(cell) || cell == nodata; }

// The cell beyond edge on the line through inner and edge. Computed in float, as GDAL's own
// edge rule does, so that our edge cells match its output bit for bit.
float Extrapolate(float edge, float inner, float nodata) {
  if (IsNoData(edge, nodata) || IsNoData(inner, nodata)) return nodata;
  return 2 * edge - inner;
}

}  // namespace

void ExtrapolateBorder(std::span<float> padded, int ncols, int nrows, float nodata) {
  const std::size_t width = static_cast<std::size_t>(ncols) + 2;
  const std::size_t height = static_cast<std::size_t>(nrows) + 2;
  auto at = [&](std::size_t col, std::size_t row) -> float& { return padded[row * width + col]; };
  const std::size_t west = 1;
  const std::size_t east = width - 2;
  for (std::size_t row = 1; row + 1 < height; ++row) {
    if (ncols == 1) {
      // A single column has no slope across it: the border repeats the cell.
      at(0, row) = at(west, row);
      at(width - 1, row) = at(east, row);
    } else {
      at(0, row) = Extrapolate(at(west, row), at(west + 1, row), nodata);
      at(width - 1, row) = Extrapolate(at(east, row), at(east - 1, row), nodata);
    }
  }
  // Over the whole width, the border columns just made included, so a corner continues the
  // surface along its row and its column alike: exact for any plane.
  const std::size_t north = 1;
  const std::size_t south = height - 2;
  for (std::size_t col = 0; col < width; ++col) {
    if (nrows == 1) {
      at(col, 0) = at(col, north);
      at(col, height - 1) = at(col, south);
    } else {
      at(col, 0) = Extrapolate(at(col, north), at(col, north + 1), nodata);
      at(col, height - 1) = Extrapolate(at(col, south), at(col, south - 1), nodata);
    }
  }
}

}  // namespace terravox::engine
