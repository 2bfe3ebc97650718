// CostPlan: sums over the planned files, and the memory rules of batch/memory_estimates.h.
#include "batch/plan_costs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "batch/memory_estimates.h"
#include "batch/prefetch_limits.h"
#include "core/file_record.h"
#include "core/paths.h"
#include "core/shard.h"

namespace terravox {
namespace {

// The program itself: its code, GDAL's drivers and caches, the thread pools (37 MB measured for
// a whole ASCII-to-GRID run of two large grids).
constexpr uint64_t kProgramBytes = uint64_t{64} << 20;

// Whether the step works files out ahead, as the steps decide it.
bool WorksAhead(const PlannedStep& step, const HeadlessHost& host, const RunOptions& options,
                int threads) {
  if (threads < 2 || step.files.size() < 2 || options.resume) return false;
  std::error_code ec;
  return step.step != kStepXyz2Ascii ||
         !std::filesystem::equivalent(host.XyzFolder(), host.AsciiFolder(), ec);
}

}  // namespace

PlanCosts CostPlan(const RunPlan& plan, const HeadlessHost& host, const RunOptions& options,
                   int shard_count) {
  PlanCosts costs;
  const PrefetchLimits limits = PrefetchLimitsFor(options);
  costs.threads = limits.threads;
  costs.budget = MemoryBudget(options);
  uint64_t step_peak = 0;
  int64_t most_cells = 0;  // of one step: the cells handed on from it at most
  for (const PlannedStep& step : plan.steps) {
    StepTotals totals;
    totals.step = step.step;
    totals.tiles = static_cast<int64_t>(step.files.size());
    totals.done = step.done;
    std::vector<uint64_t> estimates;
    for (const PlannedFile& file : step.files) {
      totals.bytes += file.bytes;
      totals.cells += std::max<int64_t>(file.cells, 0);
      if (file.scan) {
        totals.points =
            std::max<int64_t>(totals.points, 0) + std::max<int64_t>(file.scan->points, 0);
      }
      estimates.push_back(file.peak_bytes);
    }
    PrefetchLimits step_limits = limits;
    if (!WorksAhead(step, host, options, limits.threads)) step_limits.threads = 1;
    step_peak = std::max(step_peak, StepPeakBytes(std::move(estimates), step_limits));
    most_cells = std::max(most_cells, totals.cells);
    costs.steps.push_back(std::move(totals));
  }
  // The cells handed on between the steps, single precision, within their share of the budget.
  const uint64_t handed = std::min(HandOverBytes(options), static_cast<uint64_t>(most_cells) * 4);
  costs.peak_bytes = step_peak + handed + kProgramBytes;
  if (plan.steps.empty()) return costs;

  const std::vector<PlannedFile>& tiles = plan.steps.front().files;
  const auto largest = std::max_element(
      tiles.begin(), tiles.end(),
      [](const PlannedFile& a, const PlannedFile& b) { return a.bytes < b.bytes; });
  if (largest != tiles.end()) costs.largest = *largest;
  if (shard_count > 0) {
    costs.shards.resize(static_cast<size_t>(shard_count));
    for (const PlannedFile& file : tiles) {
      ShardTotals& shard = costs.shards[static_cast<size_t>(
          ShardOf(LastPathPiece(file.input), shard_count, options.shard.manifest.get()))];
      ++shard.tiles;
      shard.bytes += file.bytes;
    }
  }
  return costs;
}

}  // namespace terravox
