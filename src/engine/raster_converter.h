// RasterConverter: an ESRI ASCII grid file written out as a GRID raster.
#pragma once

#include <string>

#include "core/status.h"
#include "engine/workspace.h"

namespace terravox::engine {

class RasterConverter {
 public:
  // Reads any raster GDAL reads (an ESRI ASCII grid with its optional .prj sidecar above all)
  // and writes it as a GRID of that name in the workspace. Only "GRID" is a known format; the
  // flags are accepted and ignored. Fails with GDAL's message when the input is not a raster,
  // and fails when a dataset of that name exists.
  Status ConvertRasterFile(const std::string& input_path, const Workspace& workspace,
                           const std::string& name, const std::string& format, int flags) const;
};

}  // namespace terravox::engine
