// Cell numbers and cell sizes at their edges.
#include "gridder/grid_layout.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/status.h"

namespace terravox {
namespace {

ErrorKind CellIndexError(double distance, float cell_size) {
  try {
    CellIndex(distance, cell_size);
  } catch (const StepError& e) {
    return e.error().kind();
  }
  ADD_FAILURE() << "no error for " << distance << " / " << cell_size;
  return ErrorKind::kOther;
}

TEST(GridLayoutTest, CellIndexIsTheNearestWithHalvesGoingUp) {
  struct Row {
    double distance;
    float cell_size;
    int expected;
  };
  const Row rows[] = {
      {0, 10, 0},           {4.999, 10, 0},      {5, 10, 1},
      {14.9, 10, 1},        {2.1, 0.7f, 3},      {-5, 10, 0},
      {-5.01, 10, -1},      {327670, 10, 32767}, {-327680, 10, -32768},
      {32767.49, 1, 32767},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.distance) + " / " + std::to_string(row.cell_size));
    EXPECT_EQ(CellIndex(row.distance, row.cell_size), row.expected);
  }
}

TEST(GridLayoutTest, CellIndexBeyond16BitsOverflows) {
  EXPECT_EQ(CellIndexError(32767.5, 1), ErrorKind::kOverflow);
  EXPECT_EQ(CellIndexError(-32768.6, 1), ErrorKind::kOverflow);
  EXPECT_EQ(CellIndexError(std::numeric_limits<double>::infinity(), 1), ErrorKind::kOverflow);
  EXPECT_EQ(CellIndexError(1, std::numeric_limits<float>::denorm_min()), ErrorKind::kOverflow);
  EXPECT_EQ(CellIndexError(0, 0), ErrorKind::kDivisionByZero);
  EXPECT_EQ(CellIndexError(3, 0), ErrorKind::kDivisionByZero);
}

TEST(GridLayoutTest, DerivedCellSizeRoundsToTheNearestSingle) {
  PointSet piece;
  piece.Add({0, 0, 1});
  piece.Add({3.4028235e38, 0, 2});  // just past the largest single: still rounds down to it
  FilePoints points;
  points.Append(std::move(piece));
  EXPECT_EQ(DerivedCellSize(points.x_extent()), std::numeric_limits<float>::max());
  PointSet later;
  later.Add({1e300, 0, 3});
  points.Append(std::move(later));
  try {
    DerivedCellSize(points.x_extent());
    ADD_FAILURE() << "no overflow";
  } catch (const StepError& e) {
    EXPECT_EQ(e.error().kind(), ErrorKind::kOverflow);
  }
}

}  // namespace
}  // namespace terravox
