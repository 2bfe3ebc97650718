// What counts as a GRID raster on disk, and opening one through GDAL's reader. Private to
// src/gis: the workspace, the dataset operations and the surface operations share these rules.
#pragma once

#include <string>

#include "core/status.h"
#include "engine/gdal_scope.h"

namespace terravox::engine {

// True when path is a folder (or a link to one) holding the files hdr.adf and w001001.adf:
// the two names GDAL's reader needs to recognise a GRID.
bool IsGridFolder(const std::string& path);

// The GRID at path opened read-only through GDAL's AIG driver, and only that driver, so a
// GeoTIFF or an ASCII grid never passes for a GRID. REQUIRES: a live GdalErrorScope.
// Fails with GDAL's message.
Result<GDALDatasetUniquePtr> OpenGridRaster(const std::string& path);

}  // namespace terravox::engine
