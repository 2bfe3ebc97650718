// Horn's slope on padded cells in the raster's own units: the window's sums in float, the rest in
// double, in the order GDAL's DEM processing takes them.
#include "engine/projected_slope.h"

#include <cmath>
#include <cstddef>
#include <limits>

#include "engine/grid_writer.h"
#include "engine/surface_analyser.h"

namespace terravox::engine {
namespace {

constexpr double kRadiansToDegrees = 180.0 / 3.14159265358979323846;

// How the float differences of a window turn into a slope cell. GDAL's scale (-s) is the ratio
// of horizontal to vertical units, 1 / |z|.
struct Measure {
  double cell_width;
  double cell_height;
  double eight_scale;
  bool degrees;

  float operator()(float across, float along) const {
    const double dx = across / cell_width;
    const double dy = along / cell_height;
    const double rise = std::sqrt(dx * dx + dy * dy) / eight_scale;
    const float cell =
        static_cast<float>(degrees ? std::atan(rise) * kRadiansToDegrees : 100 * rise);
    return std::isnan(cell) ? kGridFloatNoData : cell;
  }

  // Window w (3 x 3, row by row): west column less east column, south row less north row.
  float operator()(const float* w) const {
    return (*this)((w[0] + w[3] + w[3] + w[6]) - (w[2] + w[5] + w[5] + w[8]),
                   (w[6] + w[7] + w[7] + w[8]) - (w[0] + w[1] + w[1] + w[2]));
  }
};

// A window's row weighted 1, 2, 1, summed from the west as GDAL does.
void RowSums(const float* row, size_t ncols, float* sums) {
  for (size_t c = 0; c < ncols; ++c) sums[c] = row[c] + row[c + 1] + row[c + 1] + row[c + 2];
}

}  // namespace

ProjectedSlope::ProjectedSlope(const ProjectedSlopeInput& input) : input_(input) {
  const size_t width = static_cast<size_t>(input.ncols) + 2;
  const float nodata = input.nodata;
  const float tolerance = 2 * std::numeric_limits<float>::epsilon();
  gaps_.resize(input.padded.size() / width);
  int near = 0;
  // Counted rather than searched, so that the loops have no branch.
  for (size_t r = 0; r < gaps_.size(); ++r) {
    const float* row = input.padded.data() + r * width;
    int gaps = 0;
    for (size_t c = 0; c < width; ++c) {
      const float cell = row[c];
      gaps += static_cast<int>(cell != cell) | static_cast<int>(cell == nodata);
      near += static_cast<int>(cell != nodata) &
              static_cast<int>(std::abs(cell - nodata) < tolerance * std::abs(cell + nodata));
    }
    gaps_[r] = gaps > 0;
  }
  near_nodata_ = near > 0;
}

void ProjectedSlope::Rows(int first, int end, float* out) const {
  const size_t ncols = static_cast<size_t>(input_.ncols);
  const size_t width = ncols + 2;
  const Measure measure{input_.cell_width, input_.cell_height, 8 * (1.0 / std::abs(input_.z)),
                        input_.kind != kSlopePercentRise};
  const bool nan_nodata = std::isnan(input_.nodata);
  auto is_nodata = [&](float cell) {
    return nan_nodata ? std::isnan(cell) : cell == input_.nodata;
  };
  std::vector<float> columns(width);
  std::vector<float> north_sums(ncols);
  std::vector<float> south_sums(ncols);
  for (int r = first; r < end; ++r) {
    const float* north = input_.padded.data() + static_cast<size_t>(r) * width;
    const float* middle = north + width;
    const float* south = middle + width;
    float* row_out = out + static_cast<size_t>(r) * ncols;
    const size_t padded_row = static_cast<size_t>(r);
    if (!gaps_[padded_row] && !gaps_[padded_row + 1] && !gaps_[padded_row + 2]) {
      // No window of the row has a gap: the sums of its columns and rows are shared.
      for (size_t c = 0; c < width; ++c) columns[c] = north[c] + middle[c] + middle[c] + south[c];
      RowSums(north, ncols, north_sums.data());
      RowSums(south, ncols, south_sums.data());
      for (size_t c = 0; c < ncols; ++c) {
        row_out[c] = measure(columns[c] - columns[c + 2], south_sums[c] - north_sums[c]);
      }
      continue;
    }
    for (size_t c = 0; c < ncols; ++c) {
      float w[9] = {north[c],      north[c + 1], north[c + 2], middle[c],   middle[c + 1],
                    middle[c + 2], south[c],     south[c + 1], south[c + 2]};
      if (is_nodata(w[4])) {
        row_out[c] = kGridFloatNoData;
        continue;
      }
      for (float& cell : w) {
        if (is_nodata(cell)) cell = w[4];
      }
      row_out[c] = measure(w);
    }
  }
}

}  // namespace terravox::engine
