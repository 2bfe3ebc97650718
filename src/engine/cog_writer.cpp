// WriteCog: GDAL's COG driver copies a GRID, as GDAL's AIG reader reads it, into a temporary file
// beside the target; PendingCog renames or removes it.
#include "engine/cog_writer.h"

#include <ogr_spatialref.h>

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "core/owner_lock.h"
#include "core/paths.h"
#include "core/run_control.h"
#include "core/temporary_name.h"
#include "engine/float_cells_dataset.h"
#include "engine/gdal_scope.h"
#include "engine/grid_folder.h"
#include "engine/grid_writer.h"

namespace terravox::engine {
namespace {

// Tiles of 256 cells square: small enough that a 1000 x 1000 tile of a survey gets overviews.
constexpr int kBlockSize = 256;

// The overview factors: every fourth cell, then every fourth of those, until one tile holds the
// smallest level, but never none, so a viewer zoomed out reads an overview whatever the raster's
// size. GDAL's own rule halves instead: its level of every second cell holds a quarter of the
// cells again, and compressing it took a fifth of the COG's time. A single cell has nothing to
// shrink.
std::vector<int> OverviewFactors(int ncols, int nrows) {
  constexpr int kStep = 4;
  std::vector<int> factors;
  if (ncols < 2 && nrows < 2) return factors;
  int side = std::max(ncols, nrows);
  do {
    factors.push_back(factors.empty() ? kStep : factors.back() * kStep);
    side = (side + kStep - 1) / kStep;
  } while (side > kBlockSize);
  return factors;
}

// The COG's work stops with the run; its progress is not the file's own.
int CPL_STDCALL StopProgress(double /*complete*/, const char* /*message*/, void* /*data*/) {
  return CheckRun().ok() ? TRUE : FALSE;
}

}  // namespace

PendingCog::PendingCog(std::string target, std::string temp_path)
    : target_(std::move(target)),
      temp_path_(std::move(temp_path)),
      owner_lock_(HoldOwnerLock(std::filesystem::path(temp_path_).parent_path().string())) {}

PendingCog::PendingCog(PendingCog&& other) noexcept
    : target_(std::move(other.target_)),
      temp_path_(std::exchange(other.temp_path_, {})),
      owner_lock_(std::move(other.owner_lock_)) {}

PendingCog& PendingCog::operator=(PendingCog&& other) noexcept {
  if (this != &other) {
    if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
    target_ = std::move(other.target_);
    temp_path_ = std::exchange(other.temp_path_, {});
    owner_lock_ = std::move(other.owner_lock_);
  }
  return *this;
}

PendingCog::~PendingCog() {
  if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
}

Status PendingCog::Commit() {
  if (temp_path_.empty()) return Error(ErrorKind::kOther, "The COG was already committed");
  // A COG of an earlier run is replaced, as its GRID was.
  if (::rename(temp_path_.c_str(), target_.c_str()) != 0) return Error::FromErrno(errno);
  temp_path_.clear();
  return Status::Ok();
}

namespace {

// The folder of cog_path, with its separator; an error when it is missing or no plain file path.
Result<std::string> CogFolder(const std::string& cog_path) {
  const std::string name = LastPathPiece(cog_path);
  if (!IsPlainName(name) || IsGdalVirtualPath(cog_path)) {
    return EngineError("Not a valid file path: " + cog_path);
  }
  const std::string folder = cog_path.substr(0, cog_path.size() - name.size());
  std::error_code ec;
  if (!std::filesystem::is_directory(folder.empty() ? "." : folder, ec)) {
    return Error(ErrorKind::kPathNotFound, "Path not found: " + folder);
  }
  return folder;
}

// The cells of a MEM dataset as a COG. Its overviews are made in memory first: GDAL's COG driver
// would otherwise build them into a compressed temporary file, which takes as long as the COG
// itself. Nearest overviews hold true heights and cost a fifth of averaged ones.
// What the COG's tiles hold, for the predictor that suits them.
enum class CogCells { kHeights, kSlopes };

Result<PendingCog> MemToCog(GDALDataset& cells, const std::string& cog_path,
                            const std::string& folder, CogCells kind, int threads) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("COG");
  if (driver == nullptr) return EngineError("GDAL has no COG driver");
  std::vector<int> factors = OverviewFactors(cells.GetRasterXSize(), cells.GetRasterYSize());
  if (!factors.empty() &&
      cells.BuildOverviews("NEAREST", static_cast<int>(factors.size()), factors.data(), 0, nullptr,
                           StopProgress, nullptr) != CE_None) {
    if (Status stop = CheckRun(); !stop.ok()) return stop.error();
    return GdalErrorScope::LastError("Cannot make the overviews of " + cog_path);
  }
  PendingCog pending(cog_path, folder + NewTemporaryStem() + ".tif");
  CPLStringList options;
  // DEFLATE, which every reader knows, at its fastest level. Neighbouring heights share their
  // high bits: differencing them as whole numbers (predictor 2) halves a DEM's COG at no cost.
  // Slopes vary too fast for it, and the floating-point predictor costs a quarter more time.
  options.SetNameValue("COMPRESS", "DEFLATE");
  options.SetNameValue("LEVEL", "1");
  if (kind == CogCells::kHeights) options.SetNameValue("PREDICTOR", "2");
  options.SetNameValue("BLOCKSIZE", CPLSPrintf("%d", kBlockSize));
  if (threads > 1) options.SetNameValue("NUM_THREADS", CPLSPrintf("%d", threads));
  GDALDatasetUniquePtr cog(driver->CreateCopy(pending.temp_path().c_str(), &cells, FALSE,
                                              options.List(), StopProgress, nullptr));
  if (!cog) {
    if (Status stop = CheckRun(); !stop.ok()) return stop.error();
    return GdalErrorScope::LastError("Cannot write the COG " + cog_path);
  }
  // Closing flushes the last tiles and reports a failure only through the error state.
  CPLErrorReset();
  cog.reset();
  if (GdalErrorScope::HasFailure()) {
    return GdalErrorScope::LastError("Cannot write the COG " + cog_path);
  }
  return pending;
}

}  // namespace

Result<PendingCog> WriteCog(const std::string& grid_path, const std::string& cog_path,
                            const std::shared_ptr<const HeldGrid>& held, int threads) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  Result<std::string> folder = CogFolder(cog_path);
  if (!folder.ok()) return folder.error();
  if (held) {
    // The held cells are read in place; the overviews go beside them.
    Result<GDALDatasetUniquePtr> cells = OpenHeldGrid(*held);
    if (!cells.ok()) return cells.error();
    return MemToCog(**cells, cog_path, *folder, CogCells::kHeights, threads);
  }
  Result<GDALDatasetUniquePtr> grid = OpenGridRaster(grid_path);
  if (!grid.ok()) return grid.error();
  GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
  if (mem == nullptr) return EngineError("GDAL has no MEM driver");
  GDALDatasetUniquePtr cells(mem->CreateCopy("", grid->get(), FALSE, nullptr, nullptr, nullptr));
  if (!cells) return GdalErrorScope::LastError("Cannot read " + grid_path);
  grid->reset();
  return MemToCog(*cells, cog_path, *folder, CogCells::kHeights, threads);
}

Result<PendingCog> WriteCog(const Raster& raster, const std::string& cog_path, int threads) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  Result<std::string> folder = CogFolder(cog_path);
  if (!folder.ok()) return folder.error();
  const GridGeometry& g = raster.geometry();
  if (g.ncols < 1 || g.nrows < 1 ||
      raster.cells().size() != static_cast<size_t>(g.ncols) * static_cast<size_t>(g.nrows)) {
    return EngineError("The raster for " + cog_path + " has no cells or not ncols x nrows");
  }
  // The band reads the raster's own cells: no copy.
  Result<GDALDatasetUniquePtr> held = FloatCellsDataset(raster.cells().data(), g.ncols, g.nrows,
                                                        "Cannot hold the cells of " + cog_path);
  if (!held.ok()) return held.error();
  GDALDataset& cells = **held;
  const double transform[6] = {g.west, g.cell_width,  0, g.south + g.nrows * g.cell_height,
                               0,      -g.cell_height};
  OGRSpatialReference srs;
  if (!g.srs_wkt.empty() && srs.importFromWkt(g.srs_wkt.c_str()) != OGRERR_NONE) {
    return GdalErrorScope::LastError("The coordinate system cannot be read: " + g.srs_wkt);
  }
  if (cells.GetRasterBand(1)->SetNoDataValue(kGridFloatNoData) != CE_None ||
      cells.SetGeoTransform(const_cast<double*>(transform)) != CE_None ||
      (!g.srs_wkt.empty() && cells.SetSpatialRef(&srs) != CE_None)) {
    return GdalErrorScope::LastError("Cannot describe the cells of " + cog_path);
  }
  return MemToCog(cells, cog_path, *folder, CogCells::kSlopes, threads);
}

}  // namespace terravox::engine
