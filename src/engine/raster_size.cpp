// RasterCellCount: the size from the GRID's header, read through GDAL's reader.
#include "engine/raster_size.h"

#include "engine/gdal_scope.h"
#include "engine/grid_folder.h"

namespace terravox::engine {

Result<int64_t> RasterCellCount(const std::string& path) {
  GdalErrorScope scope;
  Result<GDALDatasetUniquePtr> raster = OpenGridRaster(path);
  if (!raster.ok()) return raster.error();
  return int64_t{(*raster)->GetRasterXSize()} * (*raster)->GetRasterYSize();
}

}  // namespace terravox::engine
