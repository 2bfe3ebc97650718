// GridGeometryOf: a GDAL raster's geotransform and coordinate system as a GridGeometry.
#include "engine/raster_geometry.h"

#include <ogr_spatialref.h>

#include "engine/gdal_scope.h"

namespace terravox::engine {

Result<GridGeometry> GridGeometryOf(GDALDataset& ds, const std::string& input_path) {
  double gt[6];
  if (ds.GetGeoTransform(gt) != CE_None) {
    return Error(ErrorKind::kEngine, "The raster `" + input_path + "' has no georeferencing");
  }
  if (gt[2] != 0 || gt[4] != 0) {
    return Error(ErrorKind::kEngine,
                 "The raster `" + input_path + "' is rotated: a GRID cannot hold it");
  }
  if (!(gt[1] > 0) || !(gt[5] < 0)) {
    return Error(ErrorKind::kEngine, "The rows of raster `" + input_path +
                                         "' do not run north to south and west to east: a GRID "
                                         "cannot hold it");
  }
  GridGeometry g;
  g.ncols = ds.GetRasterXSize();
  g.nrows = ds.GetRasterYSize();
  g.west = gt[0];
  g.cell_width = gt[1];
  g.cell_height = -gt[5];
  g.south = gt[3] - g.nrows * g.cell_height;
  if (const OGRSpatialReference* srs = ds.GetSpatialRef()) {
    // WKT2 holds every system GDAL knows; a system dropped here would vanish without a word.
    char* wkt = nullptr;
    const char* const options[] = {"FORMAT=WKT2_2019", nullptr};
    OGRErr err = srs->exportToWkt(&wkt, options);
    if (err == OGRERR_NONE && wkt) g.srs_wkt = wkt;
    CPLFree(wkt);
    if (g.srs_wkt.empty()) {
      return GdalErrorScope::LastError("The coordinate system of `" + input_path +
                                       "' cannot be written");
    }
  }
  return g;
}

}  // namespace terravox::engine
