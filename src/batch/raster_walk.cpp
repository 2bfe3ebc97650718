// GetRasterLayersFromFolder: slopes and contours for every GRID raster of the GRID folder.
#include "batch/raster_walk.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "batch/contours.h"
#include "batch/extra_outputs.h"
#include "batch/memory_estimates.h"
#include "batch/prefetch_limits.h"
#include "batch/prefetcher.h"
#include "batch/prepared_outputs.h"
#include "batch/slopes.h"
#include "batch/step_files.h"
#include "batch/step_messages.h"
#include "batch/tile_quicklook.h"
#include "core/cell_handover.h"
#include "core/leftover_sweep.h"
#include "core/number_parse.h"
#include "core/paths.h"
#include "core/run_control.h"
#include "engine/dataset_enum.h"
#include "engine/grid_files.h"
#include "engine/held_grid.h"
#include "engine/raster.h"
#include "engine/raster_dataset.h"
#include "engine/surface_analyser.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"

namespace terravox {
namespace {

// What the walk does with one raster's slope and contours: skip them as done by an earlier run
// (resumed), or leave the raster out because its tile failed an earlier step (keeping going).
struct RasterPlan {
  bool slope_done = false;
  bool contours_done = false;
  bool tile_failed = false;
};

// What the walk writes beside its slope GRIDs and contour Shapefiles, when asked to.
struct WalkExtras {
  CogOutputs slope_cogs;
  ContourPackage package;
};

// Shows a file's failure that no step handled, in a run that keeps going: the raster and the
// error, as the ASCII step shows its own, then the status line emptied.
void ShowKeptGoingFailure(Host& host, const std::string& input, const Status& status) {
  host.MsgBox(input + " Error-" + status.description(), kInterruptedTitle);
  host.SetStatus("");
}

// The part of a raster's progress its slope takes: half when its contours follow.
double SlopeShare(bool slope, bool contours) {
  if (!slope) return 0.0;
  return contours ? 0.5 : 1.0;
}

// The tile's pictures once its outputs are committed, when the run makes them: those made ahead
// when every output was made ahead too, else made now from the outputs on disk, the slope's cells
// taken from slope_made, the slope raster the walk just stored, where given.
std::optional<Quicklook> TilePictures(Host& host, const RunOptions& options,
                                      const engine::RasterDataset& raster, bool slope_failed_here,
                                      PreparedRaster* prepared,
                                      const std::optional<engine::Raster>& slope_made) {
  const std::string input = raster.GetDatasetPath();
  if (options.quicklook_folder.empty()) return std::nullopt;
  const std::string name = LastPathPiece(input);
  const engine::TileSources outputs{
      input, host.RunSlope() ? JoinPath(host.SlopeFolder(), name) : "",
      host.RunContour() ? JoinPath(host.ContourFolder(), name) + ".shp" : ""};
  PendingQuicklook* ahead = prepared != nullptr && prepared->quicklook && !slope_failed_here
                                ? &*prepared->quicklook
                                : nullptr;
  return TileQuicklook(options.quicklook_folder, name, outputs, ahead,
                       engine::TileCells{raster.held(), slope_made ? &*slope_made : nullptr});
}

// The raster with its cells held for the operations on it: the cells the ASCII step handed on
// when the GRID is as it wrote it, else read once.
engine::RasterDataset HoldCells(const RunOptions& options, const engine::RasterDataset& raster) {
  std::shared_ptr<const HandedCells> handed;
  if (options.hand_over != nullptr) handed = options.hand_over->Take(raster.GetDatasetPath());
  return engine::HoldGrid(raster, std::move(handed));
}

// Runs the checked operations on one raster. failed is set when a failure was reported and
// handled on the way (by CreateSlopes itself, or for a run that keeps going).
Status VisitRaster(Host& host, BatchMdl& mdl, const RunOptions& options,
                   const engine::RasterDataset& listed, const RasterPlan& plan, bool& failed,
                   PreparedRaster* prepared, WalkExtras& extras) {
  const std::string input = listed.GetDatasetPath();
  const std::string name = LastPathPiece(input);
  if (plan.tile_failed) return Status::Ok();
  // Outputs made ahead took their cells there.
  const bool to_make =
      (host.RunSlope() && !plan.slope_done) || (host.RunContour() && !plan.contours_done);
  const engine::RasterDataset raster =
      prepared == nullptr && to_make ? HoldCells(options, listed) : listed;
  const double slope_share = SlopeShare(host.RunSlope(), host.RunContour());
  bool slope_failed_here = false;
  // The slope made here, kept for the tile's pictures only.
  std::optional<engine::Raster> slope_made;
  if (host.RunSlope()) {
    ProgressSpan slope_span(0.0, slope_share);
    host.SetStatus("Running : ESRI GRID--> Get Slope " + raster.GetDatasetPath());
    host.Repaint();
    const std::string output = JoinPath(host.SlopeFolder(), name);
    if (plan.slope_done) {
      ReportSkipped(options, kStepSlope, input, output);
    } else {
      FileClock clock;
      // CreateSlopes tells of a handled failure only by clearing the flag; a flag of its own
      // shows that whatever the run's flag held before.
      BatchMdl slope_mdl = mdl;
      slope_mdl.bRunOk = true;
      std::string failure;
      Result<engine::PendingDir>* slope =
          prepared != nullptr && prepared->slope ? &*prepared->slope : nullptr;
      SlopeCog cog{extras.slope_cogs,
                   prepared != nullptr ? std::move(prepared->slope_cog) : PreparedCog()};
      Status s = CreateSlopes(host, slope_mdl, raster, host.SlopeFolder(), slope, &failure,
                              extras.slope_cogs.enabled() ? &cog : nullptr,
                              options.quicklook_folder.empty() ? nullptr : &slope_made);
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
        record.quicklook =
            TilePictures(host, options, raster, slope_failed_here, prepared, slope_made);
      }
      ReportFile(options, record);
      if (!s.ok() && (!options.keep_going || IsCancelled(s))) return s;
      if (!s.ok()) ShowKeptGoingFailure(host, input, s);
      if (!ok) {
        mdl.bRunOk = false;
        failed = true;
      }
    }
  }
  if (host.RunContour()) {
    ProgressSpan contour_span(slope_share, 1.0);
    if (Status s = CheckRun(0.0); !s.ok()) return s;
    host.SetStatus("Running : ESRI GRID--> Get Contour " + raster.GetDatasetPath());
    host.Repaint();
    Result<double> dInterval = ParseDouble(host.ContourInterval());
    if (!dInterval.ok()) return dInterval.status();
    Result<double> dbase = ParseDouble(host.ContourBase());
    if (!dbase.ok()) return dbase.status();
    const std::string output = JoinPath(host.ContourFolder(), name) + ".shp";
    if (plan.contours_done) {
      ReportSkipped(options, kStepContours, input, output);
      return Status::Ok();
    }
    FileClock clock;
    Status s = CreateContours(host, raster, host.ContourFolder(), *dInterval, *dbase,
                              prepared != nullptr ? &prepared->contours : nullptr);
    if (s.ok()) s = extras.package.Add(name, output);
    FileRecord record{.step = kStepContours,
                      .input = input,
                      .output = output,
                      .outcome = s.ok() ? FileOutcome::kOk : FileOutcome::kFailed,
                      .error = s.ok() ? "" : s.description(),
                      .seconds = clock.Seconds(),
                      .cells = ReportedCells(options, input)};
    if (s.ok())
      record.quicklook =
          TilePictures(host, options, raster, slope_failed_here, prepared, slope_made);
    ReportFile(options, record);
    if (!s.ok() && (!options.keep_going || IsCancelled(s))) return s;
    if (!s.ok()) {
      ShowKeptGoingFailure(host, input, s);
      mdl.bRunOk = false;
      failed = true;
    }
  }
  return Status::Ok();
}

// The plan of each raster, known before any is worked out so the work ahead leaves out what the
// walk will skip.
std::vector<RasterPlan> PlanRasters(Host& host, const RunOptions& options,
                                    const std::vector<engine::RasterDataset>& rasters,
                                    WalkExtras& extras) {
  std::vector<RasterPlan> plans;
  for (const engine::RasterDataset& raster : rasters) {
    const std::string input = raster.GetDatasetPath();
    const std::string name = LastPathPiece(input);
    RasterPlan plan;
    plan.tile_failed = TileFailedEarlier(options, name);
    if (host.RunSlope()) {
      plan.slope_done =
          AlreadyDone(options, kStepSlope, input,
                      extras.slope_cogs.With({JoinPath(host.SlopeFolder(), name)}, name));
    }
    if (host.RunContour()) {
      const std::string stem = JoinPath(host.ContourFolder(), name);
      // A tile the GeoPackage lacks is made again, its Shapefile with it.
      plan.contours_done =
          extras.package.Holds(name) &&
          AlreadyDone(options, kStepContours, input, {stem + ".shp", stem + ".shx", stem + ".dbf"});
    }
    plans.push_back(plan);
  }
  return plans;
}

// The slopes and contours of the rasters ahead of the walk, made on other threads under
// temporary names; none when the run has one thread.
std::unique_ptr<Prefetcher<PreparedRaster>> PrefetchOutputs(
    Host& host, const RunOptions& options, const std::vector<engine::RasterDataset>& rasters,
    const std::vector<RasterPlan>& plans, const CogOutputs& slope_cogs) {
  const PrefetchLimits limits = PrefetchLimitsFor(options);
  if (limits.threads < 2 || rasters.size() < 2) return nullptr;
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
  estimates.reserve(rasters.size());
  for (size_t i = 0; i < rasters.size(); ++i) {
    const uint64_t cells_bytes =
        FileSizeOf(engine::GridFilePath(rasters[i].GetDatasetPath(), "w001001.adf"));
    const bool idle = plans[i].tile_failed || (plans[i].slope_done && plans[i].contours_done);
    estimates.push_back(idle ? 0 : RasterPeakBytes(cells_bytes));
  }
  return std::make_unique<Prefetcher<PreparedRaster>>(
      std::move(estimates), limits,
      [rasters, plans, slope, slope_folder, contour_workspace, interval, base, slope_cogs, contour,
       quicklook_folder, &options](size_t i) {
        PreparedRaster prepared;
        if (plans[i].tile_failed) return prepared;
        // Every output below reads the cells held here.
        const engine::RasterDataset raster = HoldCells(options, rasters[i]);
        engine::SurfaceAnalyser analyser;
        const double slope_share = SlopeShare(slope, contour_workspace.has_value());
        // The pictures are drawn from the outputs just made, under their temporary names.
        engine::TileSources made_ahead{raster.GetDatasetPath(), "", ""};
        std::optional<Result<engine::Raster>> made;  // the slope, also for its picture
        if (slope && !plans[i].slope_done) {
          const std::string name = LastPathPiece(raster.GetDatasetPath());
          const std::string path = JoinPath(slope_folder, name);
          // The same shares as the walk's own: computing and writing, then the contours.
          std::optional<ProgressSpan> span(std::in_place, 0.0, slope_share / 2);
          made.emplace(analyser.MakeSlope(raster, engine::kSlopeDegrees));
          span.emplace(slope_share / 2, slope_share);
          prepared.slope.emplace(made->ok() ? (*made)->StoreRasterAhead(path)
                                            : Result<engine::PendingDir>(made->error()));
          if (prepared.slope->ok()) {
            prepared.slope_cog = slope_cogs.Prepare(**made, name);
            made_ahead.slope = (*prepared.slope)->temp_path();
          }
        }
        if (contour_workspace && !plans[i].contours_done) {
          ProgressSpan span(slope_share, 1.0);
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
          prepared.quicklook.emplace(PendingQuicklook::Make(
              quicklook_folder, made_ahead,
              engine::TileCells{raster.held(), made && made->ok() ? &**made : nullptr}));
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
  Result<ContourPackage> package = ContourPackage::Open(options, host.RunContour());
  if (!package.ok()) return package.status();
  WalkExtras extras{CogOutputs(options, "_slope"), std::move(package).value()};
  const std::vector<RasterPlan> plans = PlanRasters(host, options, listed, extras);
  std::unique_ptr<Prefetcher<PreparedRaster>> prefetched =
      PrefetchOutputs(host, options, listed, plans, extras.slope_cogs);

  // The rasters are counted in a 16-bit counter: the 32,768th one overflows it.
  int visited = 0;
  bool failed = false;
  for (size_t i = 0; i < listed.size(); ++i) {
    if (Status s = StartItem(visited, static_cast<int>(listed.size())); !s.ok()) return s;
    if (visited == kMaxStepFiles) return Error(ErrorKind::kOverflow);
    ++visited;
    std::optional<PreparedRaster> prepared;
    if (prefetched) prepared.emplace(prefetched->Take(i));
    if (Status s = VisitRaster(host, mdl, options, listed[i], plans[i], failed,
                               prepared ? &*prepared : nullptr, extras);
        !s.ok()) {
      return s;
    }
  }
  if (Status s = extras.package.Close(); !s.ok()) return s;
  // A failure reported on the way must not be turned back into success.
  if (!failed) mdl.bRunOk = true;
  return Status::Ok();
}

}  // namespace terravox
