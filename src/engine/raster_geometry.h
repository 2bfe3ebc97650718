// GridGeometryOf: the size, georeferencing and coordinate system of a GDAL raster in the form a
// GRID holds them.
#pragma once

#include <string>

#include <gdal_priv.h>

#include "core/status.h"
#include "engine/grid_writer.h"

namespace terravox::engine {

// The geometry of a north-up raster. Fails, naming input_path, for a raster without
// georeferencing, a rotated or flipped one (a GRID has no form for them), and one whose coordinate
// system cannot be written as WKT.
Result<GridGeometry> GridGeometryOf(GDALDataset& ds, const std::string& input_path);

}  // namespace terravox::engine
