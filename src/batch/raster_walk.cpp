// GetRasterLayersFromFolder: slopes and contours for every GRID raster of the GRID folder.
#include "batch/raster_walk.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/contours.h"
#include "batch/memory_estimates.h"
#include "batch/prefetch_limits.h"
#include "batch/prefetcher.h"
#include "batch/prepared_outputs.h"
#include "batch/slopes.h"
#include "batch/step_files.h"
#include "core/leftover_sweep.h"
#include "core/number_parse.h"
#include "core/paths.h"
#include "core/run_control.h"
#include "engine/dataset_enum.h"
#include "engine/raster_dataset.h"
#include "engine/surface_analyser.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"

namespace terravox {
namespace {

// Runs the checked operations on one raster. slope_failed is set when CreateSlopes reported and
// handled a failure of its own.
Status VisitRaster(Host& host, BatchMdl& mdl, const RunOptions& options,
                   const engine::RasterDataset& raster, bool& slope_failed,
                   PreparedRaster* prepared) {
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
      Result<engine::PendingDir>* slope =
          prepared != nullptr && prepared->slope ? &*prepared->slope : nullptr;
      Status s = CreateSlopes(host, slope_mdl, raster, host.SlopeFolder(), slope, &failure);
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
    // The contours are the raster's second piece of work: their progress starts afresh.
    if (Status s = CheckRun(0.0); !s.ok()) return s;
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
    Status s = CreateContours(host, raster, host.ContourFolder(), *dInterval, *dbase,
                              prepared != nullptr ? &prepared->contours : nullptr);
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

// The slopes and contours of the rasters ahead of the walk, made on other threads under
// temporary names; none when the run has one thread.
std::unique_ptr<Prefetcher<PreparedRaster>> PrefetchOutputs(
    Host& host, const RunOptions& options, const std::vector<engine::RasterDataset>& rasters) {
  const PrefetchLimits limits = PrefetchLimitsFor(options);
  // A resumed run skips files the prefetcher would work out for nothing.
  if (limits.threads < 2 || rasters.size() < 2 || options.resume) return nullptr;
  // The settings cannot change during a run: read once here, they serve every thread. Numbers
  // that do not read are left to the walk, which fails on them in its turn.
  const bool slope = host.RunSlope();
  const std::string slope_folder = slope ? host.SlopeFolder() : std::string();
  std::optional<engine::Workspace> contour_workspace;
  double interval = 0;
  double base = 0;
  if (host.RunContour()) {
    Result<double> parsed_interval = ParseDouble(host.ContourInterval());
    Result<double> parsed_base = ParseDouble(host.ContourBase());
    Result<engine::Workspace> workspace =
        engine::WorkspaceOpener().OpenFolder(host.ContourFolder(), 0);
    if (parsed_interval.ok() && parsed_base.ok() && workspace.ok()) {
      interval = *parsed_interval;
      base = *parsed_base;
      contour_workspace = *workspace;
    }
  }
  std::vector<uint64_t> estimates;
  estimates.reserve(rasters.size());
  for (const engine::RasterDataset& raster : rasters) {
    estimates.push_back(
        RasterPeakBytes(FileSizeOf(JoinPath(raster.GetDatasetPath(), "w001001.adf"))));
  }
  return std::make_unique<Prefetcher<PreparedRaster>>(
      std::move(estimates), limits,
      [rasters, slope, slope_folder, contour_workspace, interval, base](size_t i) {
        PreparedRaster prepared;
        const engine::RasterDataset& raster = rasters[i];
        engine::SurfaceAnalyser analyser;
        if (slope) {
          const std::string path = JoinPath(slope_folder, LastPathPiece(raster.GetDatasetPath()));
          Result<engine::Raster> made = analyser.MakeSlope(raster, engine::kSlopeDegrees);
          prepared.slope.emplace(made.ok() ? made->StoreRasterAhead(path)
                                           : Result<engine::PendingDir>(made.error()));
        }
        if (contour_workspace) {
          analyser.Environment().SetOutputWorkspace(*contour_workspace);
          prepared.contours.Set(analyser.MakeContours(raster, interval, &base));
        }
        return prepared;
      });
}

}  // namespace

Status GetRasterLayersFromFolder(Host& host, BatchMdl& mdl, const RunOptions& options) {
  // The folders this walk writes to lose what a killed run left there.
  if (host.RunSlope()) RemoveDeadTemporaries(host.SlopeFolder());
  if (host.RunContour()) RemoveDeadTemporaries(host.ContourFolder());
  engine::WorkspaceOpener opener;
  Result<engine::Workspace> workspace = opener.OpenFolder(host.GridFolder(), 0);
  if (!workspace.ok()) return workspace.status();
  Result<engine::DatasetEnum> rasters = workspace->ListDatasets(engine::kRasterDatasetKind);
  if (!rasters.ok()) return rasters.status();

  std::vector<engine::RasterDataset> listed;
  for (std::optional<engine::RasterDataset> raster = rasters->NextDataset(); raster.has_value();
       raster = rasters->NextDataset()) {
    if (InShard(options.shard, LastPathPiece(raster->GetDatasetPath()))) listed.push_back(*raster);
  }
  std::unique_ptr<Prefetcher<PreparedRaster>> prefetched = PrefetchOutputs(host, options, listed);

  // The rasters are counted in a 16-bit counter: the 32,768th one overflows it.
  int visited = 0;
  bool slope_failed = false;
  for (size_t i = 0; i < listed.size(); ++i) {
    if (Status s = StartItem(visited, static_cast<int>(listed.size())); !s.ok()) return s;
    if (visited == kMaxStepFiles) return Error(ErrorKind::kOverflow);
    ++visited;
    std::optional<PreparedRaster> prepared;
    if (prefetched) prepared.emplace(prefetched->Take(i));
    if (Status s = VisitRaster(host, mdl, options, listed[i], slope_failed,
                               prepared ? &*prepared : nullptr);
        !s.ok()) {
      return s;
    }
  }
  // A slope failure reported on the way must not be turned back into success.
  if (!slope_failed) mdl.bRunOk = true;
  return Status::Ok();
}

}  // namespace terravox
