// CreateSlopes: the slope GRID of one raster, replacing an old GRID of the same name. Failures
// are handled here only once an old GRID's folder was found; before that they escape.
#include "batch/slopes.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "batch/step_messages.h"
#include "core/fld_exist.h"
#include "core/paths.h"
#include "core/run_control.h"
#include "engine/surface_analyser.h"
#include "engine/workspace_opener.h"

namespace terravox {
namespace {

// True when both paths name the same folder on disk, however they are spelt (links, "..",
// doubled separators).
bool SameFolder(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::equivalent(fs::path(a), fs::path(b), ec)) return true;
  std::error_code ec_a, ec_b;
  fs::path canonical_a = fs::weakly_canonical(fs::path(a), ec_a);
  fs::path canonical_b = fs::weakly_canonical(fs::path(b), ec_b);
  return !ec_a && !ec_b && canonical_a == canonical_b;
}

Status MakeAndStoreSlope(const engine::RasterDataset& input, const std::string& output_path,
                         Result<engine::PendingDir>* prepared, SlopeCog* cog,
                         std::optional<engine::Raster>* made) {
  const std::string name = LastPathPiece(output_path);
  if (prepared != nullptr) {
    Status s = engine::Raster::CommitStored(std::move(*prepared), output_path);
    if (s.ok() && cog != nullptr) s = CogOutputs::Commit(std::move(cog->prepared));
    return s;
  }
  // Computing the slope and writing its GRID take about the same time.
  engine::SurfaceAnalyser analyser;
  std::optional<ProgressSpan> span(std::in_place, 0.0, 0.5);
  Result<engine::Raster> slope = analyser.MakeSlope(input, engine::kSlopeDegrees);
  if (!slope.ok()) return slope.status();
  span.emplace(0.5, 1.0);
  Status s = slope->StoreRaster(output_path, nullptr, "GRID");
  if (s.ok() && cog != nullptr) s = CogOutputs::Commit(cog->outputs.Prepare(*slope, name));
  if (s.ok() && made != nullptr) made->emplace(std::move(*slope));
  return s;
}

// The steps after an old GRID's folder was found: their failures go to the handler.
Status ReplaceSlope(const engine::RasterDataset& input,
                    const std::optional<engine::RasterDataset>& old_grid,
                    const std::string& output_path, Result<engine::PendingDir>* prepared,
                    SlopeCog* cog, std::optional<engine::Raster>* made) {
  if (Status s = CheckSlopeTarget(output_path, input.GetDatasetPath()); !s.ok()) return s;
  if (old_grid.has_value() && old_grid->IsDeletable()) {
    if (Status s = old_grid->RemoveDataset(); !s.ok()) return s;
  }
  return MakeAndStoreSlope(input, output_path, prepared, cog, made);
}

}  // namespace

Status CheckSlopeTarget(const std::string& output_path, const std::string& input_path) {
  // With the slope folder equal to the GRID folder the output is the input itself: removing it
  // would destroy the data before its slope is made.
  if (!SameFolder(output_path, input_path)) return Status::Ok();
  return Error(ErrorKind::kOther, "The slope folder is the GRID folder: the slope of " +
                                      LastPathPiece(input_path) + " would replace its own raster");
}

Status CreateSlopes(Host& host, BatchMdl& mdl, const engine::RasterDataset& pRasterDs,
                    const std::string& strExportFolder, Result<engine::PendingDir>* prepared,
                    std::string* failure, SlopeCog* cog, std::optional<engine::Raster>* made) {
  const std::string name = LastPathPiece(pRasterDs.GetDatasetPath());
  const std::string output_path = JoinPath(strExportFolder, name);

  Result<bool> exists = FldExist(output_path);
  if (!exists.ok()) return exists.status();
  if (!*exists) return MakeAndStoreSlope(pRasterDs, output_path, prepared, cog, made);

  engine::WorkspaceOpener opener;
  Result<engine::Workspace> workspace = opener.OpenFolder(strExportFolder, 0);
  if (!workspace.ok()) return workspace.status();
  Result<std::optional<engine::RasterDataset>> old_grid = workspace->FindRaster(name);
  if (!old_grid.ok()) return old_grid.status();

  // From here on a failure is this step's own: shown, flagged, and the walk goes on.
  Status status = RunUnderHandler(
      [&] { return ReplaceSlope(pRasterDs, *old_grid, output_path, prepared, cog, made); });
  if (status.ok()) return Status::Ok();
  // A stopped run is not this raster's failure: no box of this step, the stop goes on up.
  if (IsCancelled(status)) return status;
  if (failure != nullptr) *failure = kFileErrorPrefix + status.description();
  host.MsgBox(kFileErrorPrefix + status.description(), kInterruptedTitle);
  mdl.bRunOk = false;
  return Status::Ok();
}

}  // namespace terravox
