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
float DerivedCellSize(const XExtent& x);

// The header values of the grid of points with this cell size. REQUIRES: !points.empty()
GridShape ShapeGrid(const FilePoints& points, float cell_size);
// The same from the figures it needs: the x extent, the count of distinct y values and the
// smallest y.
GridShape ShapeGrid(const XExtent& x, size_t distinct_y, double min_y, float cell_size);

// The whole grid must be one that could be held in memory as single-precision cells, even though
// it is written row by row: otherwise a few points far apart would stream terabytes to the disk.
// Throws StepError(out of memory) for a grid of more than max_grid_bytes.
void CheckGridFitsInMemory(const GridShape& shape, uint64_t max_grid_bytes);

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

// The checks of PlacePoints alone, holding nothing per point: throws what it would throw.
void CheckPlacement(const FilePoints& points, const GridShape& shape);

// Whether the points of a full lattice written row by row land each in its own cell in the order
// they came: xs are the lattice's x values, west to east (each row's order), row_ys the y of each
// row in file order, min_x and max_y the extent. Throws StepError as PlacePoints does for the same
// points, for the same first failing point. False when the points land in the grid in another
// order (some cells shared, others left empty).
bool LatticeFillsGridInOrder(const std::vector<double>& xs, const std::vector<double>& row_ys,
                             const GridShape& shape, double min_x, double max_y);

// The cells of one row of the grid, west to east (shape.ncols of them): the z of the last point
// placed in each cell, kNoDataValue where none fell. Either in placed itself or, for the sparse
// form, filled into scratch, which needs room for a row.
const double* GridRow(const GridShape& shape, const PlacedPoints& placed, size_t row,
                      double* scratch);

}  // namespace terravox
