// GridGeometryOf: a GDAL raster's geotransform and coordinate system as a GridGeometry.
#include "engine/raster_geometry.h"

#include <ogr_spatialref.h>

#include "engine/gdal_scope.h"

namespace terravox::engine {

Result<std::string> SrsWktOf(const OGRSpatialReference& srs, const std::string& input_path) {
  // WKT2 holds every system GDAL knows; a system dropped here would vanish without a word.
  char* raw = nullptr;
  const char* const options[] = {"FORMAT=WKT2_2019", nullptr};
  OGRErr err = srs.exportToWkt(&raw, options);
  std::string wkt = err == OGRERR_NONE && raw ? raw : "";
  CPLFree(raw);
  if (wkt.empty()) {
    return GdalErrorScope::LastError("The coordinate system of `" + input_path +
                                     "' cannot be written");
  }
  return wkt;
}

Result<GridGeometry> GridGeometryFromTransform(const std::array<double, 6>& gt, int ncols,
                                               int nrows, const std::string& input_path) {
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
  g.ncols = ncols;
  g.nrows = nrows;
  g.west = gt[0];
  g.cell_width = gt[1];
  g.cell_height = -gt[5];
  g.south = gt[3] - g.nrows * g.cell_height;
  return g;
}

Result<GridGeometry> GridGeometryOf(GDALDataset& ds, const std::string& input_path) {
  std::array<double, 6> gt{};
  if (ds.GetGeoTransform(gt.data()) != CE_None) {
    return Error(ErrorKind::kEngine, "The raster `" + input_path + "' has no georeferencing");
  }
  Result<GridGeometry> geometry =
      GridGeometryFromTransform(gt, ds.GetRasterXSize(), ds.GetRasterYSize(), input_path);
  if (!geometry.ok()) return geometry;
  if (const OGRSpatialReference* srs = ds.GetSpatialRef()) {
    Result<std::string> wkt = SrsWktOf(*srs, input_path);
    if (!wkt.ok()) return wkt.error();
    geometry->srs_wkt = std::move(*wkt);
  }
  return geometry;
}

}  // namespace terravox::engine
