// Tests of ExtrapolateBorder: planes continued exactly, narrow rasters, no-data at the edge.
#include "engine/edge_padding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace terravox::engine {
namespace {

constexpr float kNoData = -9999;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The raster's cells inside a border of zeros, as a caller lays them out before filling it.
std::vector<float> WithEmptyBorder(const std::vector<float>& cells, int ncols, int nrows) {
  std::vector<float> padded(PaddedCellCount(ncols, nrows), 0.0f);
  for (int row = 0; row < nrows; ++row) {
    for (int col = 0; col < ncols; ++col) {
      padded[(row + 1) * (ncols + 2) + col + 1] = cells[row * ncols + col];
    }
  }
  return padded;
}

void ExpectSameCells(const std::vector<float>& actual, const std::vector<float>& expected,
                     int width) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE("padded col " + std::to_string(i % width) + " row " + std::to_string(i / width));
    if (std::isnan(expected[i])) {
      EXPECT_TRUE(std::isnan(actual[i])) << actual[i];
    } else {
      EXPECT_EQ(actual[i], expected[i]);
    }
  }
}

TEST(EdgePaddingTest, BorderContinuesAPlaneEverywhere) {
  struct Row {
    const char* name;
    int ncols, nrows;
    float a, b, c;  // z = a * col + b * row + c
  };
  const Row rows[] = {
      {"3 x 2", 3, 2, 1.5f, -2, 10},
      {"2 x 2, the smallest with two cells each way", 2, 2, -0.25f, 0.5f, 3},
      {"5 x 4 falling both ways", 5, 4, -3, -1, 100},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto plane = [&](int col, int r) { return row.a * col + row.b * r + row.c; };
    std::vector<float> cells;
    for (int r = 0; r < row.nrows; ++r) {
      for (int col = 0; col < row.ncols; ++col) cells.push_back(plane(col, r));
    }
    std::vector<float> padded = WithEmptyBorder(cells, row.ncols, row.nrows);
    ExtrapolateBorder(padded, row.ncols, row.nrows, kNoData);

    std::vector<float> expected;
    for (int r = -1; r <= row.nrows; ++r) {
      for (int col = -1; col <= row.ncols; ++col) expected.push_back(plane(col, r));
    }
    ExpectSameCells(padded, expected, row.ncols + 2);
  }
}

TEST(EdgePaddingTest, NarrowRastersAndNoData) {
  const float N = kNoData;
  struct Row {
    const char* name;
    int ncols, nrows;
    float nodata;
    std::vector<float> cells;
    std::vector<float> expected;  // (ncols + 2) x (nrows + 2)
  };
  // Each raster is laid out as it looks, north at the top.
  // clang-format off
  const Row rows[] = {
      {"one row: continued along it, repeated across it",
       3, 1, kNoData, {1, 2, 4},
       {0, 1, 2, 4, 6,
        0, 1, 2, 4, 6,
        0, 1, 2, 4, 6}},
      {"one column: repeated across it, continued along it",
       1, 3, kNoData, {1, 3, 4},
       {-1, -1, -1,
         1,  1,  1,
         3,  3,  3,
         4,  4,  4,
         5,  5,  5}},
      {"one cell", 1, 1, kNoData, {7}, std::vector<float>(9, 7)},
      {"no-data on the west edge spoils the cells continued from it",
       3, 3, kNoData,
       {1, 2, 3,
        N, 5, 6,
        7, 8, 9},
       {N, N, -1,  0,  1,
        0, 1,  2,  3,  4,
        N, N,  5,  6,  7,
        6, 7,  8,  9, 10,
        N, N, 11, 12, 13}},
      {"one row with a hole",
       3, 1, kNoData, {1, N, 3},
       {N, 1, N, 3, N,
        N, 1, N, 3, N,
        N, 1, N, 3, N}},
      {"NaN as no-data",
       2, 2, kNaN,
       {1, kNaN,
        3, 4},
       {kNaN, -1, kNaN, kNaN,
        kNaN,  1, kNaN, kNaN,
           2,  3,    4,    5,
        kNaN,  5, kNaN, kNaN}},
      {"NaN is no-data whatever the no-data value",
       2, 2, kNoData,
       {kNaN, 2,
           3, 4},
       {N,    N, 0, N,
        N, kNaN, 2, N,
        2,    3, 4, 5,
        N,    N, 6, N}},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<float> padded = WithEmptyBorder(row.cells, row.ncols, row.nrows);
    ExtrapolateBorder(padded, row.ncols, row.nrows, row.nodata);
    ExpectSameCells(padded, row.expected, row.ncols + 2);
  }
}

}  // namespace
}  // namespace terravox::engine
