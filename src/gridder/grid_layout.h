// The grid of an XYZ file: its cell size, its size and corners, and the cell of every point,
// kept row by row so the grid can be written without holding all its cells.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "gridder/file_points.h"
#include "gridder/uninitialized.h"

namespace terravox {

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

// The z values of the grid row by row. Within a row the cells keep file order, so applying them
// in turn leaves the last point of a cell in it.
struct PlacedCell {
  double z;
  int32_t col;
};
struct PlacedPoints {
  // Cells of row r are cells[row_start[r] .. row_start[r + 1]); rows past the end of row_start
  // (beyond the 16-bit limit) hold none.
  std::vector<size_t> row_start;
  UninitializedVector<PlacedCell> cells;
};

// Places every point into its row and column, in file order. Row 0 is the row of max y (north),
// column 0 that of min x (west). Throws StepError: the errors of CellIndex, and subscript out of
// range for a row or column outside the grid (negative, or at or past nrows / ncols): a point
// outside the written grid would otherwise be lost silently. The first failing point in file order
// decides, whatever the threads: with more than one, runs of pieces are counted and placed at once.
PlacedPoints PlacePoints(const FilePoints& points, const GridShape& shape, int threads = 1);

// The checks of PlacePoints alone, holding nothing per point: throws what it would throw.
void CheckPlacement(const FilePoints& points, const GridShape& shape);

}  // namespace terravox
