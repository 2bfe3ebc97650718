// GetRasterLayersFromFolder: slopes and contours for every GRID raster of the GRID folder.
#include "batch/raster_walk.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "batch/contours.h"
#include "batch/slopes.h"
#include "batch/step_files.h"
#include "core/number_parse.h"
#include "core/paths.h"
#include "engine/dataset_enum.h"
#include "engine/raster_dataset.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"

namespace terravox {
namespace {

// Runs the checked operations on one raster. slope_failed is set when CreateSlopes reported and
// handled a failure of its own.
Status VisitRaster(Host& host, BatchMdl& mdl, const RunOptions& options,
                   const engine::RasterDataset& raster, bool& slope_failed) {
  const std::string input = raster.GetDatasetPath();
  const std::string name = LastPathPiece(input);
  if (host.RunSlope()) {
    host.SetStatus("Running : ESRI GRID--> Get Slope " + raster.GetDatasetPath());
    host.Repaint();
    const std::string output = JoinPath(host.SlopeFolder(), name);
    if (!SkipIfDone(options, kStepSlope, input, {output}, output)) {
      FileClock clock;
      // CreateSlopes tells of a handled failure only by clearing the flag; a flag of its own
      // shows that whatever the run's flag held before.
      BatchMdl slope_mdl = mdl;
      slope_mdl.bRunOk = true;
      std::string failure;
      Status s = CreateSlopes(host, slope_mdl, raster, host.SlopeFolder(), &failure);
      if (!s.ok()) failure = s.description();
      const bool ok = s.ok() && slope_mdl.bRunOk;
      ReportFile(options, {.step = kStepSlope,
                           .input = input,
                           .output = output,
                           .outcome = ok ? FileOutcome::kOk : FileOutcome::kFailed,
                           .error = ok ? "" : failure,
                           .seconds = clock.Seconds(),
                           .cells = ReportedCells(options, input)});
      if (!s.ok()) return s;
      if (!slope_mdl.bRunOk) {
        mdl.bRunOk = false;
        slope_failed = true;
      }
    }
  }
  if (host.RunContour()) {
    host.SetStatus("Running : ESRI GRID--> Get Contour " + raster.GetDatasetPath());
    host.Repaint();
    Result<double> dInterval = ParseDouble(host.ContourInterval());
    if (!dInterval.ok()) return dInterval.status();
    Result<double> dbase = ParseDouble(host.ContourBase());
    if (!dbase.ok()) return dbase.status();
    const std::string output = JoinPath(host.ContourFolder(), name) + ".shp";
    const std::string stem = JoinPath(host.ContourFolder(), name);
    if (SkipIfDone(options, kStepContours, input, {stem + ".shp", stem + ".shx", stem + ".dbf"},
                   output)) {
      return Status::Ok();
    }
    FileClock clock;
    Status s = CreateContours(host, raster, host.ContourFolder(), *dInterval, *dbase);
    ReportFile(options, {.step = kStepContours,
                         .input = input,
                         .output = output,
                         .outcome = s.ok() ? FileOutcome::kOk : FileOutcome::kFailed,
                         .error = s.ok() ? "" : s.description(),
                         .seconds = clock.Seconds(),
                         .cells = ReportedCells(options, input)});
    if (!s.ok()) return s;
  }
  return Status::Ok();
}

}  // namespace

Status GetRasterLayersFromFolder(Host& host, BatchMdl& mdl, const RunOptions& options) {
  engine::WorkspaceOpener opener;
  Result<engine::Workspace> workspace = opener.OpenFolder(host.GridFolder(), 0);
  if (!workspace.ok()) return workspace.status();
  Result<engine::DatasetEnum> rasters = workspace->ListDatasets(engine::kRasterDatasetKind);
  if (!rasters.ok()) return rasters.status();

  // The rasters are counted in a 16-bit counter: the 32,768th one overflows it.
  int visited = 0;
  bool slope_failed = false;
  for (std::optional<engine::RasterDataset> raster = rasters->NextDataset(); raster.has_value();
       raster = rasters->NextDataset()) {
    if (!InShard(options.shard, LastPathPiece(raster->GetDatasetPath()))) continue;
    if (visited == std::numeric_limits<int16_t>::max()) return Error(ErrorKind::kOverflow);
    ++visited;
    if (Status s = VisitRaster(host, mdl, options, *raster, slope_failed); !s.ok()) return s;
  }
  // A slope failure reported on the way must not be turned back into success.
  if (!slope_failed) mdl.bRunOk = true;
  return Status::Ok();
}

}  // namespace terravox
