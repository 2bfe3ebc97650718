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

// One row's cells twice, no-data made +inf for taking the lowest and -inf for the highest, so
// that a window's bounds need no test for no-data.
struct RowBounds {
  std::vector<float> low;
  std::vector<float> high;
};

// The cells of a row that are not no-data (NaN, or the band's no-data value when it has one).
struct NoDataTest {
  bool has_nodata = false;
  float nodata = 0;
  bool IsValue(float v) const { return v == v && !(has_nodata && v == nodata); }
};

// Fills bounds from a row of cells and adds its values to the range in figures.
void TakeRow(const float* cells, const NoDataTest& test, RowBounds& bounds,
             ContourFigures& figures) {
  float low = INFINITY;
  float high = -INFINITY;
  int values = 0;
  for (size_t c = 0; c < bounds.low.size(); ++c) {
    const float v = cells[c];
    const bool value = test.IsValue(v);
    bounds.low[c] = value ? v : INFINITY;
    bounds.high[c] = value ? v : -INFINITY;
    low = std::min(low, bounds.low[c]);
    high = std::max(high, bounds.high[c]);
    values += static_cast<int>(value);
  }
  if (values == 0) return;
  figures.min = figures.has_data ? std::min<double>(figures.min, low) : low;
  figures.max = figures.has_data ? std::max<double>(figures.max, high) : high;
  figures.has_data = true;
}

// Adds the windows between two neighbouring rows to figures: those with a value, and the
// highest less the lowest of each, summed from the west.
void AddWindows(const RowBounds& north, const RowBounds& south, ContourFigures& figures) {
  const size_t count = north.low.size() - 1;
  int64_t windows = 0;
  double relief = figures.relief;
  for (size_t c = 0; c < count; ++c) {
    const float low = std::min(std::min(north.low[c], north.low[c + 1]),
                               std::min(south.low[c], south.low[c + 1]));
    const float high = std::max(std::max(north.high[c], north.high[c + 1]),
                                std::max(south.high[c], south.high[c + 1]));
    const bool window = low <= high;
    windows += static_cast<int64_t>(window);
    relief += window ? static_cast<double>(high) - low : 0.0;
  }
  figures.windows += windows;
  figures.relief = relief;
}

std::string Whole(double value) { return std::to_string(std::llround(value)); }

// Rows read at once.
constexpr int kReadRows = 64;

// Reads every cell of band 1 of raster, a few rows at a time.
Result<ContourFigures> FiguresOf(GDALDataset& raster, const std::string& path) {
  GDALRasterBand* band = raster.GetRasterBand(1);
  const int ncols = raster.GetRasterXSize();
  const int nrows = raster.GetRasterYSize();
  int has_nodata = 0;
  const double nodata = band->GetNoDataValue(&has_nodata);
  const NoDataTest test{has_nodata != 0, static_cast<float>(nodata)};

  ContourFigures figures;
  const size_t width = static_cast<size_t>(ncols);
  std::vector<float> rows(width * kReadRows);
  RowBounds north{std::vector<float>(width), std::vector<float>(width)};
  RowBounds south = north;
  for (int first = 0; first < nrows; first += kReadRows) {
    if (Status s = CheckRun(); !s.ok()) return s.error();
    const int count = std::min(kReadRows, nrows - first);
    if (band->RasterIO(GF_Read, 0, first, ncols, count, rows.data(), ncols, count, GDT_Float32, 0,
                       0, nullptr) != CE_None) {
      return GdalErrorScope::LastError("Cannot read " + path);
    }
    for (int i = 0; i < count; ++i) {
      TakeRow(rows.data() + static_cast<size_t>(i) * width, test, south, figures);
      if (first + i > 0) AddWindows(north, south, figures);
      std::swap(north, south);
    }
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
