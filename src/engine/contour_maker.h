// MakeContourShapefile: contour lines of a GRID through GDAL's contour generator, written as an
// ESRI Shapefile under a fresh temporary name in a folder.
#pragma once

#include <cstdint>
#include <string>

#include "core/status.h"
#include "engine/raster_dataset.h"
#include "engine/shapefile_dataset.h"

namespace terravox::engine {

// Lines at level_base + k * interval; interval and base are finite, interval > 0.
Result<ShapefileDataset> MakeContourShapefile(const RasterDataset& input, const std::string& folder,
                                              double interval, double level_base);

}  // namespace terravox::engine
