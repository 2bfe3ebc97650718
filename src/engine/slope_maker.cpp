// MakeSlope: the slope of a GRID by Horn's method, GDAL's DEM processing's cells computed here on
// the held cells (through GDAL itself where only it knows them; our own rows in metres for
// longitude and latitude), in strips of rows on the caller's threads, held in memory as a Raster
// until it is stored.
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/physical_memory.h"
#include "core/run_control.h"
#include "engine/declared_size.h"
#include "engine/edge_padding.h"
#include "engine/float_cells_dataset.h"
#include "engine/gdal_scope.h"
#include "engine/geographic_slope.h"
#include "engine/grid_folder.h"
#include "engine/projected_slope.h"
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

// Band 1 of source as float32 one cell larger on every side, the border continued linearly from
// the raster. GDAL's edge rule (-compute_edges) leaves the corner cells with a flattened window,
// so a plane reads too gentle there; given a border, every cell of the raster has a full window.
// Along the other edges our border is what GDAL would extrapolate itself, so those cells do not
// change. Also gives the band's no-data value (NaN when it has none).
Status ReadPadded(GDALDataset& source, std::vector<float>& padded, float* nodata_out) {
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
  *nodata_out = nodata;
  return Status::Ok();
}

// The padded cells and how they stand on the ground, shared read-only by the strips.
struct PaddedRaster {
  const std::vector<float>& cells;
  int ncols;  // of the raster, without the border
  int nrows;
  float nodata;
  double transform[6];  // of the raster, without the border
  const OGRSpatialReference* srs;
};

// Raster rows [first, end) with one padded row above and below, as a MEM dataset that reads its
// cells from the padded raster; the georeferencing is moved one cell west and north of them.
Result<GDALDatasetUniquePtr> StripDataset(const PaddedRaster& raster, int first, int end) {
  const int width = raster.ncols + 2;
  Result<GDALDatasetUniquePtr> strip =
      FloatCellsDataset(raster.cells.data() + size_t{1} * first * width, width, end - first + 2,
                        "Cannot make the padded raster");
  if (!strip.ok()) return strip.error();
  GDALDatasetUniquePtr& copy = *strip;
  if (copy->GetRasterBand(1)->SetNoDataValue(raster.nodata) != CE_None) {
    return GdalErrorScope::LastError("Cannot make the padded raster");
  }
  double transform[6];
  std::copy(std::begin(raster.transform), std::end(raster.transform), transform);
  transform[0] += first * transform[2];
  transform[3] += first * transform[5];
  transform[0] -= transform[1] + transform[2];
  transform[3] -= transform[4] + transform[5];
  if (copy->SetGeoTransform(transform) != CE_None || copy->SetSpatialRef(raster.srs) != CE_None) {
    return GdalErrorScope::LastError("Cannot georeference the padded raster");
  }
  return strip;
}

// The slope of raster rows [first, end) into their place in cells (ncols x nrows, north to
// south), with no-data (the band's value, or NaN) as kGridFloatNoData. Each strip has datasets
// of its own: no GDAL handle is shared between threads.
Status SlopeOfStrip(const PaddedRaster& raster, int kind, double z, int first, int end,
                    std::vector<float>& cells) {
  GdalErrorScope scope;  // GDAL's error state is per thread
  Result<GdalDemOptionsPtr> options = SlopeOptions(kind, z);
  if (!options.ok()) return options.error();
  Result<GDALDatasetUniquePtr> strip = StripDataset(raster, first, end);
  if (!strip.ok()) return strip.error();
  // -compute_edges still matters beside no-data holes: a missing neighbour takes the value of
  // the cell in the middle instead of making that cell no-data.
  int usage_error = FALSE;
  GDALDatasetUniquePtr slope(GDALDataset::FromHandle(GDALDEMProcessing(
      "", GDALDataset::ToHandle(strip->get()), "slope", nullptr, options->get(), &usage_error)));
  if (!slope) return GdalErrorScope::LastError("Slope computation failed");
  strip->reset();

  GDALRasterBand* band = slope->GetRasterBand(1);
  float* out = cells.data() + size_t{1} * first * static_cast<size_t>(raster.ncols);
  const int rows = end - first;
  if (band->RasterIO(GF_Read, 1, 1, raster.ncols, rows, out, raster.ncols, rows, GDT_Float32, 0, 0,
                     nullptr) != CE_None) {
    return GdalErrorScope::LastError("Cannot read the slope raster");
  }
  int has_nodata = 0;
  const float nodata = static_cast<float>(band->GetNoDataValue(&has_nodata));
  for (float* cell = out; cell != out + size_t{1} * rows * raster.ncols; ++cell) {
    if (std::isnan(*cell) || (has_nodata && *cell == nodata)) *cell = kGridFloatNoData;
  }
  return Status::Ok();
}

// Rows per strip at least: fewer would cost more in datasets than they save.
constexpr int kMinStripRows = 64;

}  // namespace

Result<Raster> MakeSlopeRaster(const RasterDataset& input, int kind, double z) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  Result<GDALDatasetUniquePtr> source = OpenRaster(input);
  if (!source.ok()) return source.error();
  if (Result<GdalDemOptionsPtr> options = SlopeOptions(kind, z); !options.ok()) {
    return options.error();
  }
  Result<GridGeometry> geometry = GridGeometryOf(**source, input.GetDatasetPath());
  if (!geometry.ok()) return geometry.error();

  // The padded cells, the slope and GDAL's strips of it are held at once: a size the machine
  // cannot hold fails as the gridder's grids do, before anything is allocated.
  const int64_t cell_count = int64_t{(*source)->GetRasterXSize()} * (*source)->GetRasterYSize();
  if (Status s = CheckCellsFitInMemory(cell_count, 3, PhysicalMemoryBytes()); !s.ok()) {
    return s.error();
  }
  std::vector<float> padded;
  float nodata = 0;
  if (Status s = ReadPadded(**source, padded, &nodata); !s.ok()) return s.error();
  PaddedRaster raster{padded, (*source)->GetRasterXSize(), (*source)->GetRasterYSize(), nodata,
                      {},     (*source)->GetSpatialRef()};
  if ((*source)->GetGeoTransform(raster.transform) != CE_None) {
    return EngineError("The raster has no georeferencing");
  }
  OGRSpatialReference srs;  // a copy: the source closes before the strips are done
  if (raster.srs != nullptr) {
    srs = *raster.srs;
    raster.srs = &srs;
  }
  source->reset();
  // Degrees are no lengths: in longitude and latitude each row's cells are measured in metres.
  std::optional<std::vector<RowMetres>> geographic;
  if (raster.srs != nullptr && raster.srs->IsGeographic()) {
    Result<std::vector<RowMetres>> rows =
        PaddedRowMetres(*raster.srs, raster.transform, raster.nrows);
    if (!rows.ok()) return rows.error();
    geographic = std::move(rows).value();
  }
  std::optional<ProjectedSlope> projected;
  if (!geographic) {
    projected.emplace(ProjectedSlopeInput{padded, raster.ncols, raster.nodata, raster.transform[1],
                                          raster.transform[5], kind, z});
    if (!projected->MatchesGdal()) projected.reset();
  }

  // Strips of rows on the threads of the caller's task arena: each cell's window lies inside its
  // strip and its border rows, so the cells are those of one pass over the whole raster.
  const int threads = tbb::this_task_arena::max_concurrency();
  const int strips =
      std::clamp(std::min(threads * 2, raster.nrows / kMinStripRows), 1, raster.nrows);
  auto first_row = [&](int strip) {
    return static_cast<int>(int64_t{strip} * raster.nrows / strips);
  };
  std::vector<float> cells(static_cast<size_t>(raster.ncols) * static_cast<size_t>(raster.nrows));
  std::vector<Status> outcomes(static_cast<size_t>(strips));
  // Strips run on any thread of the pool: the run's stop request is looked at directly.
  const StopWatcher run;
  auto run_strip = [&](int strip) {
    if (run.stop_requested()) {
      outcomes[static_cast<size_t>(strip)] = CancelledError();
      return;
    }
    if (geographic) {
      GeographicSlopeRows(padded, raster.ncols, raster.nodata, *geographic, kind, z,
                          first_row(strip), first_row(strip + 1), cells.data());
      return;
    }
    if (projected) {
      projected->Rows(first_row(strip), first_row(strip + 1), cells.data());
      return;
    }
    outcomes[static_cast<size_t>(strip)] =
        SlopeOfStrip(raster, kind, z, first_row(strip), first_row(strip + 1), cells);
  };
  if (strips == 1) {
    run_strip(0);
  } else {
    tbb::parallel_for(0, strips, run_strip);
  }
  // The first failing strip from the north tells the error.
  for (const Status& outcome : outcomes) {
    if (!outcome.ok()) return outcome.error();
  }
  return Raster(std::move(geometry).value(), std::move(cells));
}

}  // namespace terravox::engine
