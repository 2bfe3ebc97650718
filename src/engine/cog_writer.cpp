// WriteCog: GDAL's COG driver copies a GRID, as GDAL's AIG reader reads it, into a temporary file
// beside the target; PendingCog renames or removes it.
#include "engine/cog_writer.h"

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "core/paths.h"
#include "core/run_control.h"
#include "core/temporary_name.h"
#include "engine/gdal_scope.h"
#include "engine/grid_folder.h"

namespace terravox::engine {
namespace {

// Tiles of 256 cells square: small enough that a 1000 x 1000 tile of a survey gets overviews.
constexpr int kBlockSize = 256;

// The overview factors: GDAL's own rule (halve until the smallest level fits one tile), but never
// none, so a viewer zoomed out reads an overview whatever the raster's size. A single cell has
// nothing to halve.
std::vector<int> OverviewFactors(int ncols, int nrows) {
  std::vector<int> factors;
  if (ncols < 2 && nrows < 2) return factors;
  int side = std::max(ncols, nrows);
  do {
    factors.push_back(factors.empty() ? 2 : factors.back() * 2);
    side = (side + 1) / 2;
  } while (side > kBlockSize);
  return factors;
}

// The COG's work stops with the run; its progress is not the file's own.
int CPL_STDCALL StopProgress(double /*complete*/, const char* /*message*/, void* /*data*/) {
  return CheckRun().ok() ? TRUE : FALSE;
}

}  // namespace

PendingCog::PendingCog(PendingCog&& other) noexcept
    : target_(std::move(other.target_)), temp_path_(std::exchange(other.temp_path_, {})) {}

PendingCog& PendingCog::operator=(PendingCog&& other) noexcept {
  if (this != &other) {
    if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
    target_ = std::move(other.target_);
    temp_path_ = std::exchange(other.temp_path_, {});
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

Result<PendingCog> WriteCog(const std::string& grid_path, const std::string& cog_path) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  const std::string name = LastPathPiece(cog_path);
  if (!IsPlainName(name)) return EngineError("Not a valid file name: " + cog_path);
  const std::string folder = cog_path.substr(0, cog_path.size() - name.size());
  std::error_code ec;
  if (!std::filesystem::is_directory(folder.empty() ? "." : folder, ec)) {
    return Error(ErrorKind::kPathNotFound, "Path not found: " + folder);
  }
  if (IsGdalVirtualPath(cog_path)) return EngineError("Not a file on disk: " + cog_path);

  Result<GDALDatasetUniquePtr> grid = OpenGridRaster(grid_path);
  if (!grid.ok()) return grid.error();
  GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("COG");
  if (mem == nullptr || driver == nullptr) return EngineError("GDAL has no MEM or COG driver");
  // The cells and their overviews in memory: GDAL's COG driver would otherwise build the
  // overviews into a compressed temporary file first, which takes as long as the COG itself.
  // Nearest overviews hold true heights and cost a fifth of averaged ones.
  GDALDatasetUniquePtr cells(mem->CreateCopy("", grid->get(), FALSE, nullptr, nullptr, nullptr));
  if (!cells) return GdalErrorScope::LastError("Cannot read " + grid_path);
  grid->reset();
  std::vector<int> factors = OverviewFactors(cells->GetRasterXSize(), cells->GetRasterYSize());
  if (!factors.empty() &&
      cells->BuildOverviews("NEAREST", static_cast<int>(factors.size()), factors.data(), 0, nullptr,
                            StopProgress, nullptr) != CE_None) {
    if (Status stop = CheckRun(); !stop.ok()) return stop.error();
    return GdalErrorScope::LastError("Cannot make the overviews of " + grid_path);
  }

  PendingCog pending(cog_path, folder + NewTemporaryStem() + ".tif");
  CPLStringList options;
  // DEFLATE, which every reader knows, at its fastest level. The floating-point predictor would
  // make a DEM's COG a third smaller but the COG a quarter slower, and slopes larger.
  options.SetNameValue("COMPRESS", "DEFLATE");
  options.SetNameValue("LEVEL", "1");
  options.SetNameValue("BLOCKSIZE", CPLSPrintf("%d", kBlockSize));
  GDALDatasetUniquePtr cog(driver->CreateCopy(pending.temp_path_.c_str(), cells.get(), FALSE,
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

}  // namespace terravox::engine
