// CostPlan: what a plan costs, for sizing a submission: per step its tiles, points, bytes and
// cells; the largest tile; the peak memory of one task at the run's --jobs; each shard's share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/headless_host.h"
#include "batch/run_plan.h"
#include "core/run_options.h"

namespace terravox {

struct StepTotals {
  std::string step;
  int64_t tiles = 0;
  int64_t points = -1;  // the XYZ step's data lines; -1 for the other steps
  uint64_t bytes = 0;   // of the inputs
  int64_t cells = 0;    // of the grids, as far as known
  int done = 0;         // tiles a resumed run skips
};

struct ShardTotals {
  int64_t tiles = 0;
  uint64_t bytes = 0;
};

struct PlanCosts {
  std::vector<StepTotals> steps;
  std::optional<PlannedFile> largest;  // the first step's largest input
  int threads = 1;                     // files worked on at once (--jobs)
  uint64_t budget = 0;                 // the run's memory budget
  // The most one task holds at once: the step whose files hold most at these limits, the cells
  // handed on between the steps, and the program itself.
  uint64_t peak_bytes = 0;
  std::vector<ShardTotals> shards;  // the first step's tiles and bytes per shard, when asked
};

// The costs of plan, with each shard of shard_count's share (none for 0; a manifest in
// options.shard assigns the tiles it names).
PlanCosts CostPlan(const RunPlan& plan, const HeadlessHost& host, const RunOptions& options,
                   int shard_count);

}  // namespace terravox
