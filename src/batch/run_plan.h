// PlanRun: what a batch run with these settings would do, found without writing anything:
// validation, then for each step the files it would take and what it would make of each (an XYZ
// file's gridding, a raster's slope and contour checks), and how the run would end, in the run's
// own words. It calls the run's own checks, so the two agree.
#pragma once

#include <cstdint>
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
  uint64_t bytes = 0;           // the input's size (a GRID's: its cell file); estimated when the
                                // run makes it (4 bytes a cell), 0 when unknown
  int64_t cells = -1;           // the grid's columns x rows; -1 when unknown
  std::optional<XyzScan> scan;  // the XYZ step's files only
  std::string error;            // what the report would record of its failure; "" for none
  uint64_t peak_bytes = 0;      // what it holds while worked out (batch/memory_estimates.h)
};

struct PlannedStep {
  std::string step;  // the report's step names
  std::vector<PlannedFile> files;
  int done = 0;  // files a resumed run skips as done
};

struct RunPlan {
  bool valid = false;
  std::string validation_title;  // the message box validation would show; empty when valid
  std::string validation_text;
  std::vector<PlannedStep> steps;
  // Why the steps after the last listed one (or its later files) would not run; empty when
  // every step runs through.
  std::string stops_because;
  // Message boxes the run would show on the way that belong to no file, as "TITLE: TEXT".
  std::vector<std::string> messages;
  // The run's final message box, "Program is Finished: ..." or "Program is Stopped: ...".
  std::string final_message;
  bool finishes() const;
};

// The plan of RunBatch(host, mdl, options) for the shard in options. Later steps see the files
// earlier steps would leave in the shared folders. With options.resume, the files the report
// records as done are counted, not listed, and a file an earlier step redoes is redone. host's
// message boxes are taken over. It holds one XYZ file's points at a time, never their placing.
RunPlan PlanRun(HeadlessHost& host, const BatchMdl& mdl, const RunOptions& options);

}  // namespace terravox
