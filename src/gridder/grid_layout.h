// The grid of an XYZ file: its cell size, its size and corners, and the cell of every point,
// kept row by row so the grid can be written without holding all its cells.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "gridder/file_points.h"
#include "gridder/uninitialized.h"

namespace terravox {

// The value of a cell that no point reached.
inline constexpr double kNoDataValue = -9999;

// Row and column numbers are 16-bit: a grid has at most 32768 of each that can receive points.
inline constexpr int kMaxCellIndex = 32767;

struct GridShape {
  int32_t ncols = 0;  // distinct x values
  int32_t nrows = 0;  // distinct y values
  float cell_size = 0;
  double xllcorner = 0;  // min x minus half a cell
  double yllcorner = 0;  // min y minus half a cell
};

// The given cell size: the text read straight to single precision. Throws StepError (type
// mismatch, overflow).
float GivenCellSize(std::string_view text);

// The cell size from the x spacing: (max x - min x) / (ncols - 1) in double, rounded to single.
// Throws StepError: division by zero with one distinct x value, overflow beyond the single range.
// REQUIRES: !points.empty()
float DerivedCellSize(const FilePoints& points);

// The header values of the grid of points with this cell size. REQUIRES: !points.empty()
GridShape ShapeGrid(const FilePoints& points, float cell_size);

// The row or column of a point distance cells from the grid's north or west edge: the nearest
// whole number of cells, halves going up. Throws StepError: division by zero for a zero cell size,
// overflow beyond the 16-bit range.
int16_t CellIndex(double distance, float cell_size);

// The z values of the grid, in one of two forms. Sparse: the points row by row; within a row
// the cells keep file order, so applying them in turn leaves the last point of a cell in it.
// Dense, for a grid of at most twice as many cells as points: every cell's value.
struct PlacedCell {
  double z;
  int32_t col;
};
struct PlacedPoints {
  // Sparse: cells of row r are cells[row_start[r] .. row_start[r + 1]); rows past the end of
  // row_start (beyond the 16-bit limit) hold none.
  std::vector<size_t> row_start;
  UninitializedVector<PlacedCell> cells;
  // Dense, when not empty: nrows rows of ncols values, north row first.
  UninitializedVector<double> dense;
};

// Places every point into its row and column, in file order. Row 0 is the row of max y (north),
// column 0 that of min x (west). Throws StepError: the errors of CellIndex, and subscript out of
// range for a row or column outside the grid (negative, or at or past nrows / ncols): a point
// outside the written grid would otherwise be lost silently. The first failing point in file order
// decides, whatever the threads: with more than one, runs of pieces are counted and placed at once.
// One thread places the points of a grid of at most twice as many cells straight into its cells.
PlacedPoints PlacePoints(const FilePoints& points, const GridShape& shape, int threads = 1);

// The cells of one row of the grid, west to east (shape.ncols of them): the z of the last point
// placed in each cell, kNoDataValue where none fell. Either in placed itself or, for the sparse
// form, filled into scratch, which needs room for a row.
const double* GridRow(const GridShape& shape, const PlacedPoints& placed, size_t row,
                      double* scratch);

}  // namespace terravox
