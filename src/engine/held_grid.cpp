// HoldGrid and OpenRaster: what GDAL's reader reports of a GRID, kept beside its cells, and a MEM
// dataset that reads the cells in place and reports the same.
#include "engine/held_grid.h"

#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/run_control.h"
#include "engine/float_cells_dataset.h"
#include "engine/gdal_scope.h"
#include "engine/grid_folder.h"

namespace terravox::engine {

struct HeldGrid {
  std::shared_ptr<const HandedCells> handed;  // the cells handed on, or
  std::vector<float> read;                    // the cells read from the GRID
  int ncols = 0;
  int nrows = 0;
  std::array<double, 6> transform{};
  bool has_nodata = false;
  double nodata = 0;
  std::optional<OGRSpatialReference> srs;
  CPLStringList dataset_metadata;
  CPLStringList band_metadata;

  const float* cells() const { return handed ? handed->cells.data() : read.data(); }
};

namespace {

// Rows read at once: a stop is seen between them.
constexpr int kReadRows = 256;

// The cells of band, read in strips of rows; false on a failure or a stop.
bool ReadCells(GDALRasterBand& band, int ncols, int nrows, std::vector<float>& cells) {
  cells.resize(static_cast<size_t>(ncols) * static_cast<size_t>(nrows));
  for (int first = 0; first < nrows; first += kReadRows) {
    if (!CheckRun().ok()) return false;
    const int rows = std::min(kReadRows, nrows - first);
    if (band.RasterIO(GF_Read, 0, first, ncols, rows,
                      cells.data() + static_cast<size_t>(first) * static_cast<size_t>(ncols), ncols,
                      rows, GDT_Float32, 0, 0, nullptr) != CE_None) {
      return false;
    }
  }
  return true;
}

// What GDAL's reader reports of the GRID, and its cells: handed's when they fit it.
std::optional<HeldGrid> Hold(const std::string& path, std::shared_ptr<const HandedCells> handed) {
  Result<GDALDatasetUniquePtr> grid = OpenGridRaster(path);
  if (!grid.ok()) return std::nullopt;
  GDALDataset& dataset = **grid;
  GDALRasterBand* band = dataset.GetRasterBand(1);
  // Another band type reads otherwise in the operations (whole numbers take other paths).
  if (dataset.GetRasterCount() != 1 || band->GetRasterDataType() != GDT_Float32)
    return std::nullopt;
  HeldGrid held;
  held.ncols = dataset.GetRasterXSize();
  held.nrows = dataset.GetRasterYSize();
  if (dataset.GetGeoTransform(held.transform.data()) != CE_None) return std::nullopt;
  int has_nodata = 0;
  held.nodata = band->GetNoDataValue(&has_nodata);
  held.has_nodata = has_nodata != 0;
  if (const OGRSpatialReference* srs = dataset.GetSpatialRef(); srs != nullptr) held.srs = *srs;
  held.dataset_metadata = CPLStringList(CSLDuplicate(dataset.GetMetadata()));
  held.band_metadata = CPLStringList(CSLDuplicate(band->GetMetadata()));
  const size_t count = static_cast<size_t>(held.ncols) * static_cast<size_t>(held.nrows);
  if (handed && handed->ncols == held.ncols && handed->nrows == held.nrows &&
      handed->cells.size() == count) {
    held.handed = std::move(handed);
  } else if (!ReadCells(*band, held.ncols, held.nrows, held.read)) {
    return std::nullopt;
  }
  return held;
}

}  // namespace

RasterDataset HoldGrid(const RasterDataset& raster, std::shared_ptr<const HandedCells> handed) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  std::optional<HeldGrid> held = Hold(raster.GetDatasetPath(), std::move(handed));
  RasterDataset holding = raster;
  if (held) holding.Hold(std::make_shared<const HeldGrid>(std::move(*held)));
  return holding;
}

std::span<const float> HeldCells(const HeldGrid& held) {
  return {held.cells(), static_cast<size_t>(held.ncols) * static_cast<size_t>(held.nrows)};
}

Result<GDALDatasetUniquePtr> OpenRaster(const RasterDataset& raster) {
  if (!raster.held()) return OpenGridRaster(raster.GetDatasetPath());
  return OpenHeldGrid(*raster.held());
}

Result<GDALDatasetUniquePtr> OpenHeldGrid(const HeldGrid& held) {
  // The band reads the held cells in place; the operations only read them.
  Result<GDALDatasetUniquePtr> held_cells =
      FloatCellsDataset(held.cells(), held.ncols, held.nrows, "Cannot hold the raster");
  if (!held_cells.ok()) return held_cells.error();
  GDALDatasetUniquePtr& dataset = *held_cells;
  double transform[6];
  std::copy(held.transform.begin(), held.transform.end(), transform);
  if (dataset->SetGeoTransform(transform) != CE_None ||
      (held.srs && dataset->SetSpatialRef(&*held.srs) != CE_None) ||
      (held.has_nodata && dataset->GetRasterBand(1)->SetNoDataValue(held.nodata) != CE_None) ||
      (!held.dataset_metadata.empty() &&
       dataset->SetMetadata(const_cast<char**>(held.dataset_metadata.List())) != CE_None) ||
      (!held.band_metadata.empty() && dataset->GetRasterBand(1)->SetMetadata(const_cast<char**>(
                                          held.band_metadata.List())) != CE_None)) {
    return GdalErrorScope::LastError("Cannot hold the raster");
  }
  return held_cells;
}

}  // namespace terravox::engine
