// The contour guard: the figures read through GDAL's GRID reader, and the bounds on them.
#include "engine/contour_guard.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "core/number_format.h"
#include "core/run_control.h"
#include "engine/gdal_scope.h"
#include "engine/grid_folder.h"

namespace terravox::engine {
namespace {

// Adds the windows between two neighbouring rows (NaN for no-data) to figures.
void AddWindows(const std::vector<float>& north, const std::vector<float>& south,
                ContourFigures& figures) {
  for (size_t c = 0; c + 1 < north.size(); ++c) {
    const float corners[] = {north[c], north[c + 1], south[c], south[c + 1]};
    float low = INFINITY;
    float high = -INFINITY;
    for (float v : corners) {
      if (std::isnan(v)) continue;
      low = std::min(low, v);
      high = std::max(high, v);
    }
    if (low > high) continue;
    ++figures.windows;
    figures.relief += static_cast<double>(high) - low;
  }
}

std::string Whole(double value) { return std::to_string(std::llround(value)); }

// Reads every cell of band 1 of raster, two rows at a time.
Result<ContourFigures> FiguresOf(GDALDataset& raster, const std::string& path) {
  GDALRasterBand* band = raster.GetRasterBand(1);
  const int ncols = raster.GetRasterXSize();
  const int nrows = raster.GetRasterYSize();
  int has_nodata = 0;
  const double nodata = band->GetNoDataValue(&has_nodata);
  const float nodata_cell = static_cast<float>(nodata);

  ContourFigures figures;
  std::vector<float> north(static_cast<size_t>(ncols));
  std::vector<float> south(static_cast<size_t>(ncols));
  for (int row = 0; row < nrows; ++row) {
    if (Status s = CheckRun(); !s.ok()) return s.error();
    if (band->RasterIO(GF_Read, 0, row, ncols, 1, south.data(), ncols, 1, GDT_Float32, 0, 0,
                       nullptr) != CE_None) {
      return GdalErrorScope::LastError("Cannot read " + path);
    }
    for (float& v : south) {
      if (has_nodata && v == nodata_cell) v = NAN;
      if (std::isnan(v)) continue;
      figures.min = figures.has_data ? std::min<double>(figures.min, v) : v;
      figures.max = figures.has_data ? std::max<double>(figures.max, v) : v;
      figures.has_data = true;
    }
    if (row > 0) AddWindows(north, south, figures);
    std::swap(north, south);
  }
  return figures;
}

}  // namespace

Result<ContourFigures> ReadContourFigures(const RasterDataset& input) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  Result<GDALDatasetUniquePtr> raster = OpenRaster(input);
  if (!raster.ok()) return raster.error();
  return FiguresOf(**raster, input.GetDatasetPath());
}

Result<ContourFigures> ReadContourFiguresAt(const std::string& path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (std::filesystem::is_directory(status)) return ReadContourFigures(RasterDataset(path));
  // Only a regular file is opened (a FIFO would hang the plan), and only as an ESRI ASCII grid:
  // no driver that follows paths written inside the file.
  if (!std::filesystem::is_regular_file(status)) {
    return EngineError("Cannot open " + path + ": not a regular file");
  }
  EnsureGdalRegistered();
  GdalErrorScope scope;
  const char* const drivers[] = {"AAIGrid", nullptr};
  GDALDatasetUniquePtr raster(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY,
                                                drivers, nullptr, nullptr));
  if (!raster || raster->GetRasterCount() < 1) {
    return GdalErrorScope::LastError("Cannot open " + path);
  }
  return FiguresOf(*raster, path);
}

Status CheckContourWork(const ContourFigures& figures, double interval) {
  if (!figures.has_data) return Status::Ok();  // no cell, no level
  const double levels = (figures.max - figures.min) / interval;
  if (!std::isfinite(levels) || levels > kMaxContourLevels) {
    return EngineError("The contour interval " + FormatDouble(interval) +
                       " gives too many levels for the data range " + FormatDouble(figures.min) +
                       " to " + FormatDouble(figures.max));
  }
  const double crossings = figures.relief / interval;
  const double allowed = std::max(
      kMaxContourCrossings, kMaxContourCrossingsPerWindow * static_cast<double>(figures.windows));
  if (std::isfinite(crossings) && crossings <= allowed) return Status::Ok();
  return EngineError("The contour interval " + FormatDouble(interval) +
                     " gives too many contour lines for the relief of the data: about " +
                     Whole(std::min(crossings, 1e18)) + " level crossings over " +
                     std::to_string(figures.windows) + " cells, at most " + Whole(allowed));
}

}  // namespace terravox::engine
