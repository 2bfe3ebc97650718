// RasterCellCount: how many cells a GRID raster holds, for the per-file report.
#pragma once

#include <cstdint>
#include <string>

#include "core/status.h"

namespace terravox::engine {

// Columns times rows of the GRID at path. Fails with GDAL's message when it is no GRID.
Result<int64_t> RasterCellCount(const std::string& path);

}  // namespace terravox::engine
