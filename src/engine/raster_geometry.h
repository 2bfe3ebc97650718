// GridGeometryOf: the size, georeferencing and coordinate system of a GDAL raster in the form a
// GRID holds them.
#pragma once

#include <array>
#include <string>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "core/status.h"
#include "engine/grid_writer.h"

namespace terravox::engine {

// The geometry of a north-up raster. Fails, naming input_path, for a raster without
// georeferencing, a rotated or flipped one (a GRID has no form for them), and one whose coordinate
// system cannot be written as WKT.
Result<GridGeometry> GridGeometryOf(GDALDataset& ds, const std::string& input_path);

// The coordinate system as WKT2, which holds every system GDAL knows. Fails, naming input_path,
// when it cannot be written.
Result<std::string> SrsWktOf(const OGRSpatialReference& srs, const std::string& input_path);

// The geometry for a raster of that size and GDAL geotransform, without a coordinate system.
Result<GridGeometry> GridGeometryFromTransform(const std::array<double, 6>& gt, int ncols,
                                               int nrows, const std::string& input_path);

}  // namespace terravox::engine
