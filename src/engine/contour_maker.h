// MakeContourShapefile: contour lines of a GRID through GDAL's contour generator, written as an
// ESRI Shapefile under a fresh temporary name in a folder.
#pragma once

#include <cstdint>
#include <string>

#include "core/status.h"
#include "engine/raster_dataset.h"
#include "engine/shapefile_dataset.h"

namespace terravox::engine {

// The cells a contour run covers, as its guard sees them.
struct ContourSurface {
  bool has_data = false;    // some cell holds a value
  double min = 0, max = 0;  // the cells' range, with has_data
  int64_t columns = 0, rows = 0;
};

// The guard against a contour run of absurd size (a typing slip in the interval would keep the
// run busy for hours and fill the disk): the error MakeContourShapefile gives for this surface and
// interval before it writes anything, or OK. REQUIRES: interval finite and > 0.
Status CheckContourWork(const ContourSurface& surface, double interval);

// The surface of the raster at path (a GRID, or a grid GDAL reads), its range read from the cells
// as the guard reads it: a statistics file is only a claim about them.
Result<ContourSurface> ReadContourSurface(const std::string& path);

// Lines at level_base + k * interval; interval and base are finite, interval > 0.
Result<ShapefileDataset> MakeContourShapefile(const RasterDataset& input, const std::string& folder,
                                              double interval, double level_base);

}  // namespace terravox::engine
