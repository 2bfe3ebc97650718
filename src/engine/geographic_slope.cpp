// Horn's slope in metres on a longitude/latitude raster, computed here: GDAL's slope takes one
// horizontal scale for the whole raster, while a degree of longitude shrinks towards the poles.
#include "engine/geographic_slope.h"

#include <ogr_spatialref.h>

#include <cmath>

#include "engine/grid_writer.h"
#include "engine/surface_analyser.h"

namespace terravox::engine {
namespace {

constexpr double kPi = 3.14159265358979323846;

bool IsNoData(float cell, float nodata) { return std::isnan(cell) || cell == nodata; }

// (c - a) / (2 * cell): the fall across one row of the window over its own width.
double Across(float west, float east, double cell) {
  return cell > 0 ? (east - west) / (2 * cell) : 0;
}

}  // namespace

Result<std::vector<RowMetres>> PaddedRowMetres(const OGRSpatialReference& srs,
                                               const double transform[6], int nrows) {
  OGRErr err = OGRERR_NONE;
  const double a = srs.GetSemiMajor(&err);
  const double inverse_flattening = err == OGRERR_NONE ? srs.GetInvFlattening(&err) : 0;
  const double radians_per_unit = srs.GetAngularUnits(nullptr);
  if (err != OGRERR_NONE || !(a > 0) || !(radians_per_unit > 0) || inverse_flattening < 0) {
    return EngineError("The geographic coordinate system of the raster has no usable ellipsoid");
  }
  const double f = inverse_flattening > 0 ? 1 / inverse_flattening : 0;  // 0: a sphere
  const double e2 = f * (2 - f);
  const double cell_longitude = std::abs(transform[1]) * radians_per_unit;
  const double cell_latitude = std::abs(transform[5]) * radians_per_unit;

  std::vector<RowMetres> rows(static_cast<size_t>(nrows) + 2);
  for (int padded_row = 0; padded_row < nrows + 2; ++padded_row) {
    const double latitude = (transform[3] + (padded_row - 0.5) * transform[5]) * radians_per_unit;
    const bool border = padded_row == 0 || padded_row == nrows + 1;
    if (!border && std::abs(latitude) > kPi / 2 * (1 + 1e-12)) {
      return EngineError("The raster reaches beyond a pole: its rows are no latitudes");
    }
    // Radii of curvature along the meridian (M) and across it (N) at this latitude.
    const double w2 = 1 - e2 * std::sin(latitude) * std::sin(latitude);
    const double meridian = a * (1 - e2) / (w2 * std::sqrt(w2));
    const double normal = a / std::sqrt(w2);
    // A border row past a pole mirrors the row inside it.
    rows[static_cast<size_t>(padded_row)] = {normal * std::abs(std::cos(latitude)) * cell_longitude,
                                             meridian * cell_latitude};
  }
  return rows;
}

void GeographicSlopeRows(std::span<const float> padded, int ncols, float nodata,
                         std::span<const RowMetres> rows, int kind, double z, int first, int end,
                         float* out) {
  const size_t width = static_cast<size_t>(ncols) + 2;
  const double height_scale = std::abs(z);
  for (int r = first; r < end; ++r) {
    const float* north = padded.data() + static_cast<size_t>(r) * width;
    const float* middle = north + width;
    const float* south = middle + width;
    const RowMetres& n = rows[static_cast<size_t>(r)];
    const RowMetres& m = rows[static_cast<size_t>(r) + 1];
    const RowMetres& s = rows[static_cast<size_t>(r) + 2];
    float* row_out = out + static_cast<size_t>(r) * static_cast<size_t>(ncols);
    for (int c = 0; c < ncols; ++c) {
      float w[9] = {north[c],      north[c + 1], north[c + 2], middle[c],   middle[c + 1],
                    middle[c + 2], south[c],     south[c + 1], south[c + 2]};
      if (IsNoData(w[4], nodata)) {
        row_out[c] = kGridFloatNoData;
        continue;
      }
      for (float& cell : w) {
        if (IsNoData(cell, nodata)) cell = w[4];
      }
      // Horn's weights 1, 2, 1; each row of the window over its own width in metres.
      const double east_west =
          (Across(w[0], w[2], n.east_west) + 2 * Across(w[3], w[5], m.east_west) +
           Across(w[6], w[8], s.east_west)) /
          4;
      const double north_south =
          ((w[0] + 2.0 * w[1] + w[2]) - (w[6] + 2.0 * w[7] + w[8])) / (8 * m.north_south);
      const double gradient = height_scale * std::hypot(east_west, north_south);
      row_out[c] = static_cast<float>(kind == kSlopePercentRise ? 100 * gradient
                                                                : std::atan(gradient) * 180 / kPi);
    }
  }
}

}  // namespace terravox::engine
