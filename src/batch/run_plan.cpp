// PlanRun: validation through CheckCond, listings through the steps' own listing and shard rules,
// XYZ figures through the gridder's ScanXyzFile, and the run's own checks of counts, slope targets
// and contour work, each giving the run's text.
#include "batch/run_plan.h"

#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "batch/ascii_grid_files.h"
#include "batch/check_cond.h"
#include "batch/extra_outputs.h"
#include "batch/memory_estimates.h"
#include "batch/prefetch_limits.h"
#include "batch/resume_index.h"
#include "batch/slopes.h"
#include "batch/step_files.h"
#include "batch/step_messages.h"
#include "batch/step_settings.h"
#include "core/folder_listing.h"
#include "core/number_parse.h"
#include "core/paths.h"
#include "core/shard.h"
#include "engine/contour_guard.h"
#include "engine/dataset_enum.h"
#include "engine/raster_size.h"
#include "engine/surface_analyser.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"
#include "gridder/memory_estimate.h"

namespace terravox {
namespace {

constexpr const char* kFinished = "Program is Finished: All files in the folders were finished";
constexpr const char* kStoppedTitle = "Program is Stopped";
constexpr const char* kStoppedText = "There are some errors happened during processing";

bool NameLess(const std::string& a, const std::string& b) { return FileNameLess(a, b); }
using NameSet = std::set<std::string, decltype(&NameLess)>;

using DoneCheck = std::function<bool(const std::string& step, const std::string& input,
                                     const std::vector<std::string>& outputs)>;

// What the run knows of a grid it makes before the raster walk reaches it.
struct MadeGrid {
  int64_t cells = -1;
  // From the XYZ points (their range only: the relief between cells is known once they are
  // placed); else read from the grid when needed.
  std::optional<engine::ContourFigures> surface;
  std::string ascii_path;  // the ASCII grid it is converted from
};

// The state the plan carries from step to step.
struct Planner {
  const HeadlessHost& host;
  const RunOptions& options;
  DoneCheck done;
  RunPlan& plan;
  std::set<std::string> redone;  // tiles an earlier step works on: a resumed run redoes them
  std::map<std::string, MadeGrid> made;  // GRIDs the ASCII step makes, by name

  void Stop(const std::string& text) {
    plan.final_message = std::string(kStoppedTitle) + ": " + text;
  }

  // True when a resumed run skips the file: recorded as done, and its input not remade by an
  // earlier step. A step whose output is a later step's input passes a redone tile on.
  bool Skips(const char* step, const std::string& tile, const std::string& input,
             const std::vector<std::string>& outputs, bool feeds_later = false) {
    if (done && redone.count(tile) == 0 && done(step, input, outputs)) return true;
    if (feeds_later) redone.insert(tile);
    return false;
  }
};

// The shard's files of a folder; the listing's error when it cannot be listed.
Result<NameSet> ShardFiles(const std::string& folder, const Shard& shard) {
  Result<std::vector<std::string>> listed = ListFolderFiles(folder);
  if (!listed.ok()) return listed.error();
  NameSet names(&NameLess);
  for (const std::string& name : *listed) {
    if (InShard(shard, name)) names.insert(name);
  }
  return names;
}

// The shard's GRID rasters of a folder as the raster walk lists them.
Result<NameSet> ShardRasters(const std::string& folder, const Shard& shard) {
  engine::WorkspaceOpener opener;
  Result<engine::Workspace> workspace = opener.OpenFolder(folder, 0);
  if (!workspace.ok()) return workspace.error();
  Result<engine::DatasetEnum> rasters = workspace->ListDatasets(engine::kRasterDatasetKind);
  if (!rasters.ok()) return rasters.error();
  NameSet names(&NameLess);
  for (auto raster = rasters->NextDataset(); raster; raster = rasters->NextDataset()) {
    std::string name = LastPathPiece(raster->GetDatasetPath());
    if (InShard(shard, name)) names.insert(name);
  }
  return names;
}

// The cells an ASCII grid's header declares; -1 when it cannot be read.
int64_t AsciiHeaderCells(const std::string& path) {
  std::ifstream in(path);
  int64_t columns = -1;
  int64_t rows = -1;
  std::string key;
  for (int line = 0; line < 6 && in >> key; ++line) {
    std::string value;
    in >> value;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Result<double> number = ParseDouble(value);
    if (!number.ok()) continue;
    if (key == "ncols") columns = static_cast<int64_t>(*number);
    if (key == "nrows") rows = static_cast<int64_t>(*number);
  }
  return columns >= 0 && rows >= 0 ? columns * rows : -1;
}

// The XYZ step; false when it stops the run.
bool PlanXyz(Planner& p, const BatchMdl& mdl, NameSet& ascii_names) {
  const std::string xyz_folder = p.host.XyzFolder();
  Result<NameSet> listed = ShardFiles(xyz_folder, p.options.shard);
  if (!listed.ok()) {
    p.Stop(listed.error().description());
    return false;
  }
  if (listed->size() > static_cast<size_t>(kMaxStepFiles)) {
    p.Stop(Error(ErrorKind::kOverflow).description());
    p.plan.stops_because = "more XYZ files than the step can count, so the run stops at once";
    return false;
  }
  PlannedStep step{kStepXyz2Ascii, {}, 0};
  bool all_ok = true;
  for (const std::string& name : *listed) {
    const std::string output_name = BaseName(name) + ".asc";
    PlannedFile file;
    file.input = JoinPath(xyz_folder, name);
    file.output = JoinPath(p.host.AsciiFolder(), output_name);
    if (p.Skips(kStepXyz2Ascii, BaseName(name), file.input, {file.output}, true)) {
      ++step.done;
      continue;
    }
    file.bytes = FileSizeOf(file.input);
    file.peak_bytes =
        XyzPeakBytes(file.input, file.bytes, mdl.strSeparator, ThreadsPerFile(p.options));
    const bool streamed =
        StreamedGriddingPeakBytes(file.input, mdl.strSeparator, ThreadsPerFile(p.options))
            .has_value();
    file.scan = ScanXyzFile(file.input, mdl.strSeparator, p.host.CellSizeGiven(),
                            p.host.CellSizeText(), p.options.max_grid_bytes);
    file.error = file.scan->error;
    if (Status s = CheckGridIsNotInput(file.input, file.output); !s.ok()) {
      file.error = s.description();
    }
    if (file.scan->points > 0 && !streamed) {
      file.peak_bytes = XyzPeakBytesForPoints(static_cast<uint64_t>(file.scan->points));
    }
    // The old output goes first, whether or not the new one is made.
    if (file.error.empty()) {
      ascii_names.insert(output_name);
      file.cells = int64_t{file.scan->shape.ncols} * file.scan->shape.nrows;
      MadeGrid& grid = p.made[BaseName(name)];
      grid.cells = file.cells;
      grid.surface = engine::ContourFigures{
          .has_data = file.scan->points > 0, .min = file.scan->min_z, .max = file.scan->max_z};
    } else {
      ascii_names.erase(output_name);
      all_ok = false;
    }
    step.files.push_back(std::move(file));
  }
  p.plan.steps.push_back(std::move(step));
  if (!all_ok) {
    p.Stop(kStoppedText);
    p.plan.stops_because = "an XYZ file fails, so the run stops after this step";
  }
  return all_ok;
}

// The ASCII step over the grids the folder will hold; false when it stops the run.
bool PlanAscii(Planner& p, const NameSet& ascii_names, NameSet& raster_names) {
  std::vector<std::string> listing(ascii_names.begin(), ascii_names.end());
  const std::vector<std::string> grids = AsciiGridFiles(listing);
  if (grids.size() > static_cast<size_t>(kMaxStepFiles)) {
    // The step's own handler shows it; no file's path is formed yet.
    p.plan.messages.push_back(std::string(kInterruptedTitle) + ":  Error-" +
                              Error(ErrorKind::kOverflow).description());
    p.Stop(kStoppedText);
    p.plan.stops_because = "more ASCII grids than the step can count, so the run stops there";
    return false;
  }
  PlannedStep step{kStepAscii2Grid, {}, 0};
  for (const std::string& name : grids) {
    const std::string grid_name = BaseName(name);
    PlannedFile file;
    file.input = JoinPath(p.host.AsciiFolder(), name);
    file.output = JoinPath(p.host.GridFolder(), grid_name);
    raster_names.insert(grid_name);
    if (p.Skips(kStepAscii2Grid, grid_name, file.input, {file.output}, true)) {
      ++step.done;
      p.made.erase(grid_name);
      continue;
    }
    MadeGrid& grid = p.made[grid_name];
    grid.ascii_path = file.input;
    file.bytes = FileSizeOf(file.input);
    file.cells = grid.cells >= 0 ? grid.cells : AsciiHeaderCells(file.input);
    grid.cells = file.cells;
    file.peak_bytes = AsciiToGridPeakBytes();
    step.files.push_back(std::move(file));
  }
  p.plan.steps.push_back(std::move(step));
  return true;
}

// The cells and the bytes of the cell file of a raster the walk reaches.
void RasterFigures(const Planner& p, const std::string& name, PlannedFile& file) {
  if (auto made = p.made.find(name); made != p.made.end()) {
    file.cells = made->second.cells;
    file.bytes = file.cells > 0 ? static_cast<uint64_t>(file.cells) * 4 : 0;
  } else {
    file.bytes = FileSizeOf(JoinPath(file.input, "w001001.adf"));
    Result<int64_t> cells = engine::RasterCellCount(file.input);
    if (cells.ok()) file.cells = *cells;
  }
  file.peak_bytes = RasterPeakBytes(file.bytes);
}

// The contour guard's verdict on a raster, from what the run will have made of it or from the
// raster itself; OK when its cells cannot be had before the run.
Status ContourWork(const Planner& p, const std::string& name, const std::string& grid_path,
                   double interval) {
  std::optional<engine::ContourFigures> surface;
  if (auto made = p.made.find(name); made != p.made.end()) {
    surface = made->second.surface;
    if (!surface && !made->second.ascii_path.empty()) {
      Result<engine::ContourFigures> read = engine::ReadContourFiguresAt(made->second.ascii_path);
      if (read.ok()) surface = *read;
    }
  } else {
    Result<engine::ContourFigures> read = engine::ReadContourFiguresAt(grid_path);
    if (read.ok()) surface = *read;
  }
  return surface ? engine::CheckContourWork(*surface, interval) : Status::Ok();
}

// The raster walk: slopes, then contours, raster by raster.
void PlanWalk(Planner& p, const NameSet& raster_names) {
  const HeadlessHost& host = p.host;
  PlannedStep slopes{kStepSlope, {}, 0};
  PlannedStep contours{kStepContours, {}, 0};
  // The contours' numbers are read per raster; a failure escapes at the first.
  std::optional<Status> contour_settings;
  double interval = 0;
  if (host.RunContour()) {
    Result<double> parsed_interval = ParseDouble(host.ContourInterval());
    Result<double> parsed_base = ParseDouble(host.ContourBase());
    if (!parsed_interval.ok()) {
      contour_settings = parsed_interval.status();
    } else if (!parsed_base.ok()) {
      contour_settings = parsed_base.status();
    } else {
      interval = *parsed_interval;
      contour_settings = engine::CheckContourSettings(interval, *parsed_base);
    }
  }
  bool slope_failed = false;
  int visited = 0;
  for (const std::string& name : raster_names) {
    if (visited == kMaxStepFiles) {
      p.Stop(Error(ErrorKind::kOverflow).description());
      p.plan.stops_because = "more GRIDs than the walk can count, so it stops after 32767";
      break;
    }
    ++visited;
    const std::string input = JoinPath(host.GridFolder(), name);
    if (host.RunSlope()) {
      PlannedFile file;
      file.input = input;
      file.output = JoinPath(host.SlopeFolder(), name);
      if (p.Skips(kStepSlope, name, input, {file.output})) {
        ++slopes.done;
      } else {
        RasterFigures(p, name, file);
        if (Status s = CheckSlopeTarget(file.output, input); !s.ok()) {
          file.error = kFileErrorPrefix + s.description();
          slope_failed = true;
        }
        slopes.files.push_back(std::move(file));
      }
    }
    if (host.RunContour()) {
      const std::string stem = JoinPath(host.ContourFolder(), name);
      PlannedFile file;
      file.input = input;
      file.output = stem + ".shp";
      if (p.Skips(kStepContours, name, input, {stem + ".shp", stem + ".shx", stem + ".dbf"})) {
        ++contours.done;
        continue;
      }
      RasterFigures(p, name, file);
      Status s = *contour_settings;
      if (s.ok()) s = ContourWork(p, name, input, interval);
      if (!s.ok()) {
        // It escapes the walk: the run stops at this raster with its text.
        file.error = s.description();
        contours.files.push_back(std::move(file));
        p.Stop(s.description());
        p.plan.stops_because = "the contours of " + name + " fail, so the run stops there";
        break;
      }
      contours.files.push_back(std::move(file));
    }
  }
  if (host.RunSlope()) p.plan.steps.push_back(std::move(slopes));
  if (host.RunContour()) p.plan.steps.push_back(std::move(contours));
  if (slope_failed && p.plan.final_message == kFinished) p.Stop(kStoppedText);
}

}  // namespace

bool RunPlan::finishes() const { return final_message == kFinished; }

RunPlan PlanRun(HeadlessHost& host, const BatchMdl& mdl, const RunOptions& options) {
  RunPlan plan;
  host.on_message = [&](const std::string& text, const std::string& title) {
    plan.validation_title = title;
    plan.validation_text = text;
  };
  BatchMdl checked = mdl;
  checked.bRunOk = false;
  // A folder that cannot be tested is no valid setting either; its reason is the plan's message.
  if (Status s = CheckCond(host, checked); !s.ok()) {
    plan.validation_title = kStoppedTitle;
    plan.validation_text = s.description();
    plan.final_message = std::string(kStoppedTitle) + ": " + s.description();
    return plan;
  }
  plan.valid = checked.bRunOk;
  if (!plan.valid) {
    plan.messages.push_back(plan.validation_title + ": " + plan.validation_text);
    plan.final_message = std::string(kStoppedTitle) + ": " + kStoppedText;
    return plan;
  }
  if (Status s = CheckExtraOutputs(options); !s.ok()) {
    plan.valid = false;
    plan.validation_title = kStoppedTitle;
    plan.validation_text = s.description();
    plan.messages.push_back(plan.validation_title + ": " + plan.validation_text);
    plan.final_message = std::string(kStoppedTitle) + ": " + plan.validation_text;
    return plan;
  }
  plan.final_message = kFinished;

  Planner p{host, options, options.already_done, plan, {}, {}};
  if (options.resume && !p.done && !options.report_path.empty()) {
    Result<ResumeIndex> index = ResumeIndex::Load(options.report_path);
    if (!index.ok()) {
      p.Stop(index.error().description());
      return plan;
    }
    p.done = [index = std::make_shared<ResumeIndex>(std::move(index).value()),
              settings = StepSettings(host, mdl)](const std::string& step, const std::string& input,
                                                  const std::vector<std::string>& outputs) {
      return index->Done(step, input, outputs, SettingsOf(settings, step));
    };
  }

  const Shard& shard = options.shard;
  const bool to_grids = host.InputIsXyz() || host.InputIsAscii();
  NameSet ascii_names(&NameLess);
  if (to_grids) {
    Result<NameSet> listed = ShardFiles(host.AsciiFolder(), shard);
    if (listed.ok()) ascii_names = std::move(listed).value();
  }
  if (host.InputIsXyz() && !PlanXyz(p, mdl, ascii_names)) return plan;

  Result<NameSet> rasters = ShardRasters(host.GridFolder(), shard);
  NameSet raster_names = rasters.ok() ? std::move(rasters).value() : NameSet(&NameLess);
  if (to_grids && !PlanAscii(p, ascii_names, raster_names)) return plan;
  if (host.RunSlope() || host.RunContour()) PlanWalk(p, raster_names);
  return plan;
}

}  // namespace terravox
