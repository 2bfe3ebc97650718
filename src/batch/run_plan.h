// PlanRun: what a batch run with these settings would do, found without writing anything:
// validation, then for each step the files it would take, and for each XYZ file what gridding
// it would find.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch/headless_host.h"
#include "core/batch_mdl.h"
#include "core/run_options.h"
#include "gridder/gridder.h"

namespace terravox {

struct PlannedFile {
  std::string input;
  std::string output;
  std::optional<XyzScan> scan;  // the XYZ step's files only
};

struct PlannedStep {
  std::string step;  // the report's step names
  std::vector<PlannedFile> files;
};

struct RunPlan {
  bool valid = false;
  std::string validation_title;  // the message box validation would show; empty when valid
  std::string validation_text;
  std::vector<PlannedStep> steps;
  // Why the steps after the last listed one would not run; empty when every step runs.
  std::string stops_because;
};

// The plan of RunBatch(host, mdl, options) for the shard in options. Later steps see the files
// earlier steps would leave in the shared folders. host's message boxes are taken over.
RunPlan PlanRun(HeadlessHost& host, const BatchMdl& mdl, const RunOptions& options);

}  // namespace terravox
