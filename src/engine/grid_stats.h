// Running statistics of a grid's valid cells (min, max, mean, population standard deviation),
// gathered row by row as the cells are written.
#pragma once

#include <cstdint>
#include <span>

#include "engine/grid_format.h"

namespace terravox::engine {

class GridStatsAccumulator {
 public:
  // Adds the valid cells of a run of cells; NaN and kGridFloatNoData are skipped.
  void Add(std::span<const float> cells);
  // The statistics so far; all zero while no valid cell was added.
  GridStatistics Result() const;
  int64_t count() const { return count_; }

 private:
  int64_t count_ = 0;
  double min_ = 0;
  double max_ = 0;
  double mean_ = 0;
  double sum_squared_deviations_ = 0;  // around mean_
};

}  // namespace terravox::engine
