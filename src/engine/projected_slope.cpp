// Horn's slope on padded cells in the raster's own units: the window's sums in float, the rest in
// double, in the order GDAL's DEM processing takes them.
#include "engine/projected_slope.h"

#include <cmath>
#include <cstddef>
#include <limits>

#include "engine/grid_writer.h"
#include "engine/surface_analyser.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// A window's row weighted 1, 2, 1, summed from the west as GDAL does. Four cells at a time where
// the machine can: each lane adds in the same order, so the sums are the same.
void RowSums(const float* row, size_t ncols, float* sums) {
  size_t c = 0;
#if defined(__SSE2__)
  for (; c + 4 <= ncols; c += 4) {
    const __m128 middle = _mm_loadu_ps(row + c + 1);
    __m128 sum = _mm_add_ps(_mm_loadu_ps(row + c), middle);
    sum = _mm_add_ps(_mm_add_ps(sum, middle), _mm_loadu_ps(row + c + 2));
    _mm_storeu_ps(sums + c, sum);
  }
#endif
  for (; c < ncols; ++c) sums[c] = row[c] + row[c + 1] + row[c + 1] + row[c + 2];
}

// A window's column weighted 1, 2, 1 from the north, for every column of the padded rows.
void ColumnSums(const float* north, const float* middle, const float* south, size_t width,
                float* sums) {
  size_t c = 0;
#if defined(__SSE2__)
  for (; c + 4 <= width; c += 4) {
    const __m128 centre = _mm_loadu_ps(middle + c);
    __m128 sum = _mm_add_ps(_mm_add_ps(_mm_loadu_ps(north + c), centre), centre);
    _mm_storeu_ps(sums + c, _mm_add_ps(sum, _mm_loadu_ps(south + c)));
  }
#endif
  for (; c < width; ++c) sums[c] = north[c] + middle[c] + middle[c] + south[c];
}

// The cells of a padded row that are no-data or NaN (gaps), and those within GDAL's tolerance
// of nodata without equalling it (near), counted without a branch.
struct RowCount {
  int gaps = 0;
  int near = 0;
};

RowCount CountRow(const float* row, size_t width, float nodata) {
  const float tolerance = 2 * std::numeric_limits<float>::epsilon();
  RowCount count;
  size_t c = 0;
#if defined(__SSE2__)
  const __m128 no_data = _mm_set1_ps(nodata);
  const __m128 times = _mm_set1_ps(tolerance);
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
  for (; c + 4 <= width; c += 4) {
    const __m128 cell = _mm_loadu_ps(row + c);
    const __m128 gap = _mm_or_ps(_mm_cmpunord_ps(cell, cell), _mm_cmpeq_ps(cell, no_data));
    const __m128 apart = _mm_and_ps(_mm_sub_ps(cell, no_data), magnitude);
    const __m128 allowed = _mm_mul_ps(times, _mm_and_ps(_mm_add_ps(cell, no_data), magnitude));
    const __m128 near = _mm_and_ps(_mm_cmpneq_ps(cell, no_data), _mm_cmplt_ps(apart, allowed));
    count.gaps += _mm_movemask_ps(gap) != 0;
    count.near += _mm_movemask_ps(near) != 0;
  }
#endif
  for (; c < width; ++c) {
    const float cell = row[c];
    count.gaps += static_cast<int>(cell != cell) | static_cast<int>(cell == nodata);
    count.near += static_cast<int>(cell != nodata) &
                  static_cast<int>(std::abs(cell - nodata) < tolerance * std::abs(cell + nodata));
  }
  return count;
}

}  // namespace

ProjectedSlope::ProjectedSlope(const ProjectedSlopeInput& input) : input_(input) {
  const size_t width = static_cast<size_t>(input.ncols) + 2;
  gaps_.resize(input.padded.size() / width);
  for (size_t r = 0; r < gaps_.size(); ++r) {
    const RowCount count = CountRow(input.padded.data() + r * width, width, input.nodata);
    gaps_[r] = count.gaps > 0;
    near_nodata_ = near_nodata_ || count.near > 0;
  }
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
      ColumnSums(north, middle, south, width, columns.data());
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
