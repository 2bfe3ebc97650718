// Statistics merged run by run: each run is summed in two passes around its own mean, then
// folded into the totals with the pairwise update, which keeps elevations of a few metres'
// spread around large offsets accurate and needs no division per cell.
#include "engine/grid_stats.h"

#include <algorithm>
#include <cmath>

namespace terravox::engine {
namespace {

bool IsValid(float value) { return value == value && value != kGridFloatNoData; }

}  // namespace

void GridStatsAccumulator::Add(std::span<const float> cells) {
  int64_t n = 0;
  double sum = 0;
  double lo = HUGE_VAL;
  double hi = -HUGE_VAL;
  for (float value : cells) {
    if (!IsValid(value)) continue;
    ++n;
    sum += value;
    lo = std::min(lo, double{value});
    hi = std::max(hi, double{value});
  }
  if (n == 0) return;
  double run_mean = sum / static_cast<double>(n);
  double run_squares = 0;
  for (float value : cells) {
    if (!IsValid(value)) continue;
    double deviation = value - run_mean;
    run_squares += deviation * deviation;
  }

  if (count_ == 0) {
    min_ = lo;
    max_ = hi;
  } else {
    min_ = std::min(min_, lo);
    max_ = std::max(max_, hi);
  }
  double total = static_cast<double>(count_ + n);
  double delta = run_mean - mean_;
  mean_ += delta * (static_cast<double>(n) / total);
  sum_squared_deviations_ +=
      run_squares + delta * delta * (static_cast<double>(count_) * static_cast<double>(n) / total);
  count_ += n;
}

GridStatistics GridStatsAccumulator::Result() const {
  if (count_ == 0) return GridStatistics{};
  return GridStatistics{min_, max_, mean_,
                        std::sqrt(sum_squared_deviations_ / static_cast<double>(count_))};
}

}  // namespace terravox::engine
