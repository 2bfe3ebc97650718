// GridStatsAccumulator: statistics of the valid cells, the same however the cells are split
// into runs, accurate around large offsets.
#include "engine/grid_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace terravox::engine {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(GridStatsTest, SkipsNoDataAndNaN) {
  struct Case {
    const char* name;
    std::vector<float> cells;
    GridStatistics expected;
  };
  const Case cases[] = {
      {"no cells", {}, {0, 0, 0, 0}},
      {"only no-data", {kGridFloatNoData, kNaN}, {0, 0, 0, 0}},
      {"one cell", {-7.5f}, {-7.5, -7.5, -7.5, 0}},
      {"1 to 4", {1, 2, 3, 4}, {1, 4, 2.5, std::sqrt(1.25)}},
      {"1 to 4 among no-data",
       {kNaN, 1, kGridFloatNoData, 2, 3, kNaN, 4},
       {1, 4, 2.5, std::sqrt(1.25)}},
      {"zeros of both signs", {-0.0f, 0.0f}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GridStatsAccumulator stats;
    stats.Add(c.cells);
    GridStatistics got = stats.Result();
    EXPECT_EQ(got.min, c.expected.min);
    EXPECT_EQ(got.max, c.expected.max);
    EXPECT_DOUBLE_EQ(got.mean, c.expected.mean);
    EXPECT_DOUBLE_EQ(got.std_dev, c.expected.std_dev);
  }
}

TEST(GridStatsTest, RunsMergeToTheStatisticsOfAllCells) {
  // Elevations a few metres apart around a large offset, split into runs of uneven length
  // with no-data in between: the merge must neither lose the spread nor depend on the split.
  std::vector<float> cells;
  for (int i = 0; i < 1000; ++i) cells.push_back(i % 17 == 0 ? kNaN : 1e6f + 0.25f * (i % 13));
  double sum = 0;
  int n = 0;
  for (float v : cells) {
    if (!std::isnan(v)) sum += v, ++n;
  }
  double mean = sum / n;
  double squares = 0;
  for (float v : cells) {
    if (!std::isnan(v)) squares += (v - mean) * (v - mean);
  }
  for (size_t run : {size_t{1}, size_t{7}, size_t{256}, cells.size()}) {
    SCOPED_TRACE(run);
    GridStatsAccumulator stats;
    for (size_t first = 0; first < cells.size(); first += run) {
      stats.Add(std::span<const float>(cells).subspan(first, std::min(run, cells.size() - first)));
    }
    GridStatistics got = stats.Result();
    EXPECT_EQ(stats.count(), n);
    EXPECT_EQ(got.min, 1e6);
    EXPECT_EQ(got.max, 1e6 + 3);
    EXPECT_NEAR(got.mean, mean, 1e-9);
    EXPECT_NEAR(got.std_dev, std::sqrt(squares / n), 1e-9);
  }
}

}  // namespace
}  // namespace terravox::engine
