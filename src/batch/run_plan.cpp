// PlanRun: validation through CheckCond, listings through the steps' own listing and shard rules,
// XYZ figures through the gridder's ScanXyzFile.
#include "batch/run_plan.h"

#include <algorithm>
#include <set>

#include "batch/check_cond.h"
#include "batch/extra_outputs.h"
#include "core/folder_listing.h"
#include "core/paths.h"
#include "core/shard.h"
#include "engine/dataset_enum.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"

namespace terravox {
namespace {

bool NameLess(const std::string& a, const std::string& b) { return FileNameLess(a, b); }
using NameSet = std::set<std::string, decltype(&NameLess)>;

// The shard's files of a folder; none when it cannot be listed (the step would then fail).
NameSet ShardFiles(const std::string& folder, const Shard& shard) {
  NameSet names(&NameLess);
  Result<std::vector<std::string>> listed = ListFolderFiles(folder);
  if (!listed.ok()) return names;
  for (const std::string& name : *listed) {
    if (InShard(shard, name)) names.insert(name);
  }
  return names;
}

// The shard's GRID rasters of a folder as the raster walk lists them.
NameSet ShardRasters(const std::string& folder, const Shard& shard) {
  NameSet names(&NameLess);
  engine::WorkspaceOpener opener;
  Result<engine::Workspace> workspace = opener.OpenFolder(folder, 0);
  if (!workspace.ok()) return names;
  Result<engine::DatasetEnum> rasters = workspace->ListDatasets(engine::kRasterDatasetKind);
  if (!rasters.ok()) return names;
  for (auto raster = rasters->NextDataset(); raster; raster = rasters->NextDataset()) {
    std::string name = LastPathPiece(raster->GetDatasetPath());
    if (InShard(shard, name)) names.insert(name);
  }
  return names;
}

// The XYZ step; returns whether every file would grid. ascii_names gets the outputs.
bool PlanXyz(const HeadlessHost& host, const BatchMdl& mdl, const Shard& shard, RunPlan& plan,
             NameSet& ascii_names) {
  PlannedStep step{kStepXyz2Ascii, {}};
  bool all_ok = true;
  for (const std::string& name : ShardFiles(host.XyzFolder(), shard)) {
    const std::string output_name = BaseName(name) + ".asc";
    PlannedFile file{JoinPath(host.XyzFolder(), name), JoinPath(host.AsciiFolder(), output_name),
                     ScanXyzFile(JoinPath(host.XyzFolder(), name), mdl.strSeparator,
                                 host.CellSizeGiven(), host.CellSizeText())};
    // The old output goes first, whether or not the new one is made.
    if (file.scan->error.empty()) {
      ascii_names.insert(output_name);
    } else {
      ascii_names.erase(output_name);
      all_ok = false;
    }
    step.files.push_back(std::move(file));
  }
  plan.steps.push_back(std::move(step));
  return all_ok;
}

}  // namespace

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
    plan.validation_title = "Program is Stopped";
    plan.validation_text = s.description();
    checked.bRunOk = false;
  }
  plan.valid = checked.bRunOk;
  if (!plan.valid) return plan;
  if (Status s = CheckExtraOutputs(options); !s.ok()) {
    plan.valid = false;
    plan.validation_title = "Program is Stopped";
    plan.validation_text = s.description();
    return plan;
  }

  const Shard& shard = options.shard;
  const bool to_grids = host.InputIsXyz() || host.InputIsAscii();
  NameSet ascii_names = to_grids ? ShardFiles(host.AsciiFolder(), shard) : NameSet(&NameLess);
  if (host.InputIsXyz() && !PlanXyz(host, mdl, shard, plan, ascii_names)) {
    plan.stops_because = "an XYZ file fails, so the run stops after this step";
    return plan;
  }

  NameSet raster_names = ShardRasters(host.GridFolder(), shard);
  if (to_grids) {
    PlannedStep step{kStepAscii2Grid, {}};
    for (const std::string& name : ascii_names) {
      step.files.push_back({JoinPath(host.AsciiFolder(), name),
                            JoinPath(host.GridFolder(), BaseName(name)), std::nullopt});
      raster_names.insert(BaseName(name));
    }
    plan.steps.push_back(std::move(step));
  }

  if (host.RunSlope()) {
    PlannedStep step{kStepSlope, {}};
    for (const std::string& name : raster_names) {
      step.files.push_back(
          {JoinPath(host.GridFolder(), name), JoinPath(host.SlopeFolder(), name), std::nullopt});
    }
    plan.steps.push_back(std::move(step));
  }
  if (host.RunContour()) {
    PlannedStep step{kStepContours, {}};
    for (const std::string& name : raster_names) {
      step.files.push_back({JoinPath(host.GridFolder(), name),
                            JoinPath(host.ContourFolder(), name) + ".shp", std::nullopt});
    }
    plan.steps.push_back(std::move(step));
  }
  return plan;
}

}  // namespace terravox
