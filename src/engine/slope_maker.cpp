// MakeSlope: the slope of a GRID by Horn's method through GDAL's DEM processing, held in memory
// as a Raster until it is stored.
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/edge_padding.h"
#include "engine/gdal_scope.h"
#include "engine/grid_folder.h"
#include "engine/raster_geometry.h"
#include "engine/run_progress.h"
#include "engine/slope_maker.h"
#include "engine/surface_analyser.h"

namespace terravox::engine {
namespace {

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
  GDALDEMProcessingOptionsSetProgress(options.get(), RunProgress, nullptr);
  return options;
}

// Band 1 of source as float32 inside a MEM dataset one cell larger on every side, the border
// continued linearly from the raster, the georeferencing moved one cell west and north.
// GDAL's edge rule (-compute_edges) leaves the corner cells with a flattened window, so a plane
// reads too gentle there; given a border, every cell of the raster has a full window. Along the
// other edges our border is what GDAL would extrapolate itself, so those cells do not change.
// The dataset reads its cells from padded, which must outlive it.
Result<GDALDatasetUniquePtr> PaddedCopy(GDALDataset& source, std::vector<float>& padded) {
  const int ncols = source.GetRasterXSize();
  const int nrows = source.GetRasterYSize();
  if (ncols < 1 || nrows < 1 || ncols > INT_MAX - 2 || nrows > INT_MAX - 2) {
    return EngineError("The raster has no cells or too many");
  }
  GDALRasterBand* band = source.GetRasterBand(1);
  if (band == nullptr) return EngineError("The raster has no band");
  int has_nodata = 0;
  const double band_nodata = band->GetNoDataValue(&has_nodata);
  const float nodata =
      has_nodata ? static_cast<float>(band_nodata) : std::numeric_limits<float>::quiet_NaN();

  const int width = ncols + 2;
  padded.assign(PaddedCellCount(ncols, nrows), 0.0f);
  const GSpacing line = static_cast<GSpacing>(width) * sizeof(float);
  if (band->RasterIO(GF_Read, 0, 0, ncols, nrows, padded.data() + width + 1, ncols, nrows,
                     GDT_Float32, sizeof(float), line, nullptr) != CE_None) {
    return GdalErrorScope::LastError("Cannot read the raster");
  }
  ExtrapolateBorder(padded, ncols, nrows, nodata);

  GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
  if (mem == nullptr) return EngineError("GDAL's MEM driver is missing");
  GDALDatasetUniquePtr copy(mem->Create("", width, nrows + 2, 0, GDT_Float32, nullptr));
  if (!copy) return GdalErrorScope::LastError("Cannot make the padded raster");
  char pointer[64] = {};
  CPLPrintPointer(pointer, padded.data(), sizeof(pointer));
  CPLStringList band_options;
  band_options.SetNameValue("DATAPOINTER", pointer);
  band_options.SetNameValue("PIXELOFFSET", CPLSPrintf("%d", static_cast<int>(sizeof(float))));
  band_options.SetNameValue("LINEOFFSET", CPLSPrintf(CPL_FRMT_GIB, static_cast<GIntBig>(line)));
  if (copy->AddBand(GDT_Float32, band_options.List()) != CE_None ||
      copy->GetRasterBand(1)->SetNoDataValue(nodata) != CE_None) {
    return GdalErrorScope::LastError("Cannot make the padded raster");
  }
  double transform[6];
  if (source.GetGeoTransform(transform) != CE_None) {
    return EngineError("The raster has no georeferencing");
  }
  transform[0] -= transform[1] + transform[2];
  transform[3] -= transform[4] + transform[5];
  if (copy->SetGeoTransform(transform) != CE_None ||
      copy->SetSpatialRef(source.GetSpatialRef()) != CE_None) {
    return GdalErrorScope::LastError("Cannot georeference the padded raster");
  }
  return copy;
}

// Band 1 north to south, inside the one-cell border, with no-data (the band's value, or NaN)
// as kGridFloatNoData.
Result<std::vector<float>> ReadInnerCells(GDALDataset& dataset) {
  GDALRasterBand* band = dataset.GetRasterBand(1);
  const int ncols = dataset.GetRasterXSize() - 2;
  const int nrows = dataset.GetRasterYSize() - 2;
  std::vector<float> cells(static_cast<size_t>(ncols) * static_cast<size_t>(nrows));
  if (band->RasterIO(GF_Read, 1, 1, ncols, nrows, cells.data(), ncols, nrows, GDT_Float32, 0, 0,
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

Result<Raster> MakeSlopeRaster(const RasterDataset& input, int kind, double z) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  Result<GDALDatasetUniquePtr> source = OpenGridRaster(input.GetDatasetPath());
  if (!source.ok()) return source.error();
  Result<GdalDemOptionsPtr> options = SlopeOptions(kind, z);
  if (!options.ok()) return options.error();

  Result<GridGeometry> geometry = GridGeometryOf(**source, input.GetDatasetPath());
  if (!geometry.ok()) return geometry.error();
  // Declared before the dataset that reads from it, so it is freed after.
  std::vector<float> padded;
  Result<GDALDatasetUniquePtr> padded_copy = PaddedCopy(**source, padded);
  if (!padded_copy.ok()) return padded_copy.error();
  source->reset();

  // -compute_edges still matters beside no-data holes: a missing neighbour takes the value of
  // the cell in the middle instead of making that cell no-data.
  int usage_error = FALSE;
  GDALDatasetUniquePtr slope(
      GDALDataset::FromHandle(GDALDEMProcessing("", GDALDataset::ToHandle(padded_copy->get()),
                                                "slope", nullptr, options->get(), &usage_error)));
  if (!slope) return FailureOrStop("Slope computation failed");
  padded_copy->reset();

  Result<std::vector<float>> cells = ReadInnerCells(*slope);
  if (!cells.ok()) return cells.error();
  return Raster(std::move(geometry).value(), std::move(cells).value());
}

}  // namespace terravox::engine
