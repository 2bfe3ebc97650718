// MakeSlopeRaster: the slope of a GRID by Horn's method, with GDAL's cells and exact edges.
#pragma once

#include "core/status.h"
#include "engine/raster.h"
#include "engine/raster_dataset.h"

namespace terravox::engine {

// kind is kSlopeDegrees or kSlopePercentRise; z is finite and not 0. A raster in a geographic
// coordinate system has its cells measured in metres on its ellipsoid, row by row, heights taken
// as metres; every other raster is measured in its own units. Large rasters are done in
// strips of rows on the threads of the caller's oneTBB task arena (every core outside one); the
// cells are the same whatever the threads.
Result<Raster> MakeSlopeRaster(const RasterDataset& input, int kind, double z);

}  // namespace terravox::engine
