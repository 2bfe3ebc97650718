// GetRasterLayersFromFolder: slopes and contours for every GRID raster of the GRID folder.
#include "batch/raster_walk.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "batch/contours.h"
#include "batch/prefetch_limits.h"
#include "batch/prefetcher.h"
#include "batch/prepared_outputs.h"
#include "batch/slopes.h"
#include "batch/step_files.h"
#include "batch/tile_quicklook.h"
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

// The tile's pictures once its outputs are committed, when the run makes them: those made ahead
// when every output was made ahead too, else made now from the outputs on disk.
std::optional<Quicklook> TilePictures(Host& host, const RunOptions& options,
                                      const std::string& input, bool slope_failed_here,
                                      PreparedRaster* prepared) {
  if (options.quicklook_folder.empty()) return std::nullopt;
  const std::string name = LastPathPiece(input);
  const engine::TileSources outputs{
      input, host.RunSlope() ? JoinPath(host.SlopeFolder(), name) : "",
      host.RunContour() ? JoinPath(host.ContourFolder(), name) + ".shp" : ""};
  PendingQuicklook* ahead = prepared != nullptr && prepared->quicklook && !slope_failed_here
                                ? &*prepared->quicklook
                                : nullptr;
  return TileQuicklook(options.quicklook_folder, name, outputs, ahead);
}

// Runs the checked operations on one raster. slope_failed is set when CreateSlopes reported and
// handled a failure of its own.
Status VisitRaster(Host& host, BatchMdl& mdl, const RunOptions& options,
                   const engine::RasterDataset& raster, bool& slope_failed,
                   PreparedRaster* prepared) {
  const std::string input = raster.GetDatasetPath();
  const std::string name = LastPathPiece(input);
  bool slope_failed_here = false;
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
      slope_failed_here = !ok;
      FileRecord record{.step = kStepSlope,
                        .input = input,
                        .output = output,
                        .outcome = ok ? FileOutcome::kOk : FileOutcome::kFailed,
                        .error = ok ? "" : failure,
                        .seconds = clock.Seconds(),
                        .cells = ReportedCells(options, input)};
      // Without contours the slope is the tile's last output.
      if (s.ok() && !host.RunContour()) {
        record.quicklook = TilePictures(host, options, input, slope_failed_here, prepared);
      }
      ReportFile(options, record);
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
    FileRecord record{.step = kStepContours,
                      .input = input,
                      .output = output,
                      .outcome = s.ok() ? FileOutcome::kOk : FileOutcome::kFailed,
                      .error = s.ok() ? "" : s.description(),
                      .seconds = clock.Seconds(),
                      .cells = ReportedCells(options, input)};
    if (s.ok()) record.quicklook = TilePictures(host, options, input, slope_failed_here, prepared);
    ReportFile(options, record);
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
  const bool contour = host.RunContour();
  const std::string quicklook_folder = options.quicklook_folder;
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
  for (const engine::RasterDataset& raster : rasters) {
    // The slope holds the cells about four times over: padded input, GDAL's output, the result.
    const uint64_t cells_bytes = FileSizeOf(JoinPath(raster.GetDatasetPath(), "w001001.adf"));
    estimates.push_back(4 * cells_bytes + (uint64_t{16} << 20));
  }
  return std::make_unique<Prefetcher<PreparedRaster>>(
      std::move(estimates), limits,
      [rasters, slope, slope_folder, contour_workspace, interval, base, contour,
       quicklook_folder](size_t i) {
        PreparedRaster prepared;
        const engine::RasterDataset& raster = rasters[i];
        engine::SurfaceAnalyser analyser;
        // The pictures are drawn from the outputs just made, under their temporary names.
        engine::TileSources made_ahead{raster.GetDatasetPath(), "", ""};
        if (slope) {
          const std::string path = JoinPath(slope_folder, LastPathPiece(raster.GetDatasetPath()));
          Result<engine::Raster> made = analyser.MakeSlope(raster, engine::kSlopeDegrees);
          prepared.slope.emplace(made.ok() ? made->StoreRasterAhead(path)
                                           : Result<engine::PendingDir>(made.error()));
          if (prepared.slope->ok()) made_ahead.slope = (*prepared.slope)->temp_path();
        }
        if (contour_workspace) {
          analyser.Environment().SetOutputWorkspace(*contour_workspace);
          Result<engine::ShapefileDataset> contours =
              analyser.MakeContours(raster, interval, &base);
          if (contours.ok()) made_ahead.contours = contours->GetDatasetPath() + ".shp";
          prepared.contours.Set(std::move(contours));
        }
        // Pictures only of a tile whose every output was made: any other is drawn in the walk.
        const bool whole =
            (!slope || !made_ahead.slope.empty()) && (!contour || !made_ahead.contours.empty());
        if (!quicklook_folder.empty() && whole) {
          prepared.quicklook.emplace(PendingQuicklook::Make(quicklook_folder, made_ahead));
        }
        return prepared;
      });
}

}  // namespace

Status GetRasterLayersFromFolder(Host& host, BatchMdl& mdl, const RunOptions& options) {
  // The folders this walk writes to lose what a killed run left there.
  if (host.RunSlope()) RemoveDeadTemporaries(host.SlopeFolder());
  if (host.RunContour()) RemoveDeadTemporaries(host.ContourFolder());
  if (!options.quicklook_folder.empty()) {
    // Pictures are extras: a folder that cannot be made only leaves the tiles without them.
    std::error_code ec;
    std::filesystem::create_directories(options.quicklook_folder, ec);
    RemoveDeadTemporaries(options.quicklook_folder);
  }
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
    if (visited == std::numeric_limits<int16_t>::max()) return Error(ErrorKind::kOverflow);
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
