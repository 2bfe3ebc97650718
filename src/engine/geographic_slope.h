// Horn's slope of a raster in longitude and latitude: each row's cell size turned into metres on
// the coordinate system's ellipsoid, along the parallel and along the meridian apart.
#pragma once

#include <span>
#include <vector>

#include "core/status.h"

class OGRSpatialReference;

namespace terravox::engine {

// Metres across one cell of a row: along the parallel (east-west) and along the meridian.
struct RowMetres {
  double east_west = 0;
  double north_south = 0;
};

// The metres of each row of a padded raster (one row above the raster and one below included,
// nrows + 2 in all, north to south) whose geotransform is in the angular unit of srs, a
// geographic coordinate system. Fails when a row of the raster lies beyond a pole or srs has no
// usable ellipsoid.
Result<std::vector<RowMetres>> PaddedRowMetres(const OGRSpatialReference& srs,
                                               const double transform[6], int nrows);

// The slope of raster rows [first, end) into out (one row of ncols after another), from the
// padded cells ((ncols + 2) x (nrows + 2), ExtrapolateBorder) with rows[r + 1] the metres of
// raster row r. Heights are metres times z; kind is kSlopeDegrees or kSlopePercentRise. A no-data
// cell (NaN or nodata) stays no-data (kGridFloatNoData); a no-data neighbour takes the value of
// the cell in the middle, as GDAL's edge rule does.
void GeographicSlopeRows(std::span<const float> padded, int ncols, float nodata,
                         std::span<const RowMetres> rows, int kind, double z, int first, int end,
                         float* out);

}  // namespace terravox::engine
