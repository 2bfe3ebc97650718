// MakeSlope: the slope of a GRID by Horn's method through GDAL's DEM processing, held in memory
// as a Raster until it is stored.
#include <cmath>
#include <string>
#include <vector>

#include "gis/engine.h"
#include "gis/gdal_scope.h"
#include "gis/grid_folder.h"

namespace terravox::gis {
namespace {

Error EngineError(std::string text) { return Error(ErrorKind::kEngine, std::move(text)); }

Result<GdalDemOptionsPtr> SlopeOptions(int kind, double z_factor) {
  CPLStringList args;
  for (const char* arg : {"-of", "MEM", "-alg", "Horn", "-compute_edges", "-s"}) {
    args.AddString(arg);
  }
  // GDAL's slope takes no z factor, only the ratio of horizontal to vertical units: heights
  // times z are the same as horizontal units times 1 / z. A negative z mirrors the surface,
  // which leaves the steepness alone, but a negative ratio would turn percent rise negative.
  args.AddString(CPLSPrintf("%.17g", 1.0 / std::abs(z_factor)));
  if (kind == kSlopePercentRise) args.AddString("-p");
  GdalDemOptionsPtr options(GDALDEMProcessingOptionsNew(args.List(), nullptr));
  if (!options) return GdalErrorScope::LastError("Invalid slope options");
  return options;
}

// Size and georeferencing of a dataset as a GRID holds them: north-up, no rotation.
Result<GridGeometry> GeometryOf(GDALDataset& dataset, std::string srs_wkt) {
  double transform[6];
  if (dataset.GetGeoTransform(transform) != CE_None) {
    return EngineError("The slope raster has no georeferencing");
  }
  if (transform[2] != 0 || transform[4] != 0 || transform[1] <= 0 || transform[5] >= 0) {
    return EngineError("The slope raster is rotated or flipped, which a GRID cannot hold");
  }
  GridGeometry geometry;
  geometry.ncols = dataset.GetRasterXSize();
  geometry.nrows = dataset.GetRasterYSize();
  geometry.west = transform[0];
  geometry.cell_width = transform[1];
  geometry.cell_height = -transform[5];
  geometry.south = transform[3] - geometry.nrows * geometry.cell_height;
  geometry.srs_wkt = std::move(srs_wkt);
  return geometry;
}

// Band 1 north to south, with no-data (the band's value, or NaN) as kGridFloatNoData.
Result<std::vector<float>> ReadCells(GDALDataset& dataset) {
  GDALRasterBand* band = dataset.GetRasterBand(1);
  const int ncols = dataset.GetRasterXSize();
  const int nrows = dataset.GetRasterYSize();
  std::vector<float> cells(static_cast<size_t>(ncols) * static_cast<size_t>(nrows));
  if (band->RasterIO(GF_Read, 0, 0, ncols, nrows, cells.data(), ncols, nrows, GDT_Float32, 0, 0,
                     nullptr) != CE_None) {
    return GdalErrorScope::LastError("Cannot read the slope raster");
  }
  int has_nodata = 0;
  const float nodata = static_cast<float>(band->GetNoDataValue(&has_nodata));
  for (float& cell : cells) {
    if (std::isnan(cell) || (has_nodata && cell == nodata)) cell = kGridFloatNoData;
  }
  return cells;
}

}  // namespace

Result<Raster> SurfaceAnalyser::MakeSlope(const RasterDataset& input, int kind,
                                          std::optional<double> z_factor) const {
  if (kind != kSlopeDegrees && kind != kSlopePercentRise) {
    return EngineError("Unknown slope kind " + std::to_string(kind) +
                       " (1 is degrees, 2 is percent rise)");
  }
  const double z = z_factor.value_or(1.0);
  if (!std::isfinite(z) || z == 0) {
    return EngineError("The slope z factor must be a finite number other than 0");
  }

  EnsureGdalRegistered();
  GdalErrorScope scope;
  Result<GDALDatasetUniquePtr> source = OpenGridRaster(input.GetDatasetPath());
  if (!source.ok()) return source.error();
  Result<GdalDemOptionsPtr> options = SlopeOptions(kind, z);
  if (!options.ok()) return options.error();

  int usage_error = FALSE;
  GDALDatasetUniquePtr slope(GDALDataset::FromHandle(GDALDEMProcessing(
      "", GDALDataset::ToHandle(source->get()), "slope", nullptr, options->get(), &usage_error)));
  if (!slope) return GdalErrorScope::LastError("Slope computation failed");

  Result<GridGeometry> geometry = GeometryOf(*slope, (*source)->GetProjectionRef());
  if (!geometry.ok()) return geometry.error();
  Result<std::vector<float>> cells = ReadCells(*slope);
  if (!cells.ok()) return cells.error();
  return Raster(std::move(geometry).value(), std::move(cells).value());
}

}  // namespace terravox::gis
