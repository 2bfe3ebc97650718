// Cell size, grid shape and the placing of points into rows and columns.
#include "gridder/grid_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include <tbb/parallel_for.h>

#include "core/number_parse.h"
#include "core/status.h"

namespace terravox {
namespace {

// A finite double rounded to the nearest single. Throws overflow when that lies beyond the
// single range (values up to half a unit past the largest single still round down to it).
float ToSingle(double value) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  constexpr double kHalfUnitPastLargest = 0x1p103;  // half the spacing of singles near the top
  if (!std::isfinite(value)) throw StepError(ErrorKind::kOverflow);
  double magnitude = std::fabs(value);
  if (magnitude <= kLargest) return static_cast<float>(value);
  if (magnitude < kLargest + kHalfUnitPastLargest) {
    return static_cast<float>(std::copysign(kLargest, value));
  }
  throw StepError(ErrorKind::kOverflow);
}

// Marks a value whose cell number does not fit 16 bits.
constexpr int32_t kOverflowed = std::numeric_limits<int32_t>::min();

// The nearest whole number of cells, halves going up, or kOverflowed beyond 16 bits.
// REQUIRES: cell_size != 0
int32_t NearestCell(double distance, float cell_size) {
  double quotient = distance / static_cast<double>(cell_size);
  // Nearest, not ceiling: a single-precision cell size a hair below the true spacing must not
  // push exact lattice points one cell on.
  double index = std::floor(quotient + 0.5);
  if (!(index >= std::numeric_limits<int16_t>::min() && index <= kMaxCellIndex)) {
    return kOverflowed;  // NaN and infinities land here too
  }
  return static_cast<int32_t>(index);
}

// The cell number of each value counted from origin, eastwards (+1) or southwards (-1), or
// kOverflowed. Throws StepError for a zero cell size.
std::vector<int32_t> CellNumbers(const std::vector<double>& values, double origin, int direction,
                                 float cell_size) {
  if (cell_size == 0) throw StepError(ErrorKind::kDivisionByZero);
  std::vector<int32_t> numbers(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    double distance = direction > 0 ? values[i] - origin : origin - values[i];
    numbers[i] = NearestCell(distance, cell_size);
  }
  return numbers;
}

// The cell number of each distinct y (row) and x (column) value.
struct CellTables {
  std::vector<int32_t> row_of_y;
  std::vector<int32_t> col_of_x;
};

// The tables of a piece, whose own distinct values map into the file's.
CellTables PieceCells(const CellTables& file_cells, const std::vector<uint32_t>& y_map,
                      const std::vector<uint32_t>& x_map) {
  CellTables cells;
  cells.row_of_y.resize(y_map.size());
  for (size_t i = 0; i < y_map.size(); ++i) cells.row_of_y[i] = file_cells.row_of_y[y_map[i]];
  cells.col_of_x.resize(x_map.size());
  for (size_t i = 0; i < x_map.size(); ++i) cells.col_of_x[i] = file_cells.col_of_x[x_map[i]];
  return cells;
}

// The points a run of pieces puts into each row, or the error of its first failing point.
struct RowCount {
  std::vector<size_t> points_in_row;
  std::optional<Error> failure;
};

// Counts the points of piece into count. False at its first failing point, count.failure then
// telling the error.
bool CountRows(const PointSet& piece, const CellTables& cells, const GridShape& shape,
               RowCount& count) {
  const std::vector<uint32_t>& x_index = piece.x_index();
  const std::vector<uint32_t>& y_index = piece.y_index();
  for (size_t k = 0; k < y_index.size(); ++k) {
    int32_t row = cells.row_of_y[y_index[k]];
    int32_t col = cells.col_of_x[x_index[k]];
    // The row is checked before the column.
    if (row == kOverflowed || col == kOverflowed) {
      count.failure = Error(ErrorKind::kOverflow);
      return false;
    }
    if (row < 0 || row >= shape.nrows || col < 0 || col >= shape.ncols) {
      count.failure = Error(ErrorKind::kSubscriptOutOfRange);
      return false;
    }
    ++count.points_in_row[static_cast<size_t>(row)];
  }
  return true;
}

// Calls work(run) for every run, on up to threads threads.
template <typename Work>
void ForEachRun(size_t runs, int threads, const Work& work) {
  if (threads <= 1 || runs <= 1) {
    for (size_t run = 0; run < runs; ++run) work(run);
    return;
  }
  tbb::parallel_for(size_t{0}, runs, [&](size_t run) { work(run); });
}

// The points one by one in file order straight into every cell of the grid: the first failing
// point is the first met.
PlacedPoints PlaceDense(const FilePoints& points, const GridShape& shape,
                        const CellTables& file_cells) {
  PlacedPoints placed;
  const size_t ncols = static_cast<size_t>(shape.ncols);
  placed.dense.resize(ncols * static_cast<size_t>(shape.nrows));
  std::fill(placed.dense.begin(), placed.dense.end(), kNoDataValue);
  for (size_t p = 0; p < points.pieces().size(); ++p) {
    const PointSet& piece = points.pieces()[p];
    const CellTables cells = PieceCells(file_cells, points.y_map(p), points.x_map(p));
    const std::vector<uint32_t>& x_index = piece.x_index();
    const std::vector<uint32_t>& y_index = piece.y_index();
    const std::vector<double>& zs = piece.z();
    for (size_t k = 0; k < zs.size(); ++k) {
      const int32_t row = cells.row_of_y[y_index[k]];
      const int32_t col = cells.col_of_x[x_index[k]];
      if (row == kOverflowed || col == kOverflowed) throw StepError(ErrorKind::kOverflow);
      if (row < 0 || row >= shape.nrows || col < 0 || col >= shape.ncols) {
        throw StepError(ErrorKind::kSubscriptOutOfRange);
      }
      placed.dense[static_cast<size_t>(row) * ncols + static_cast<size_t>(col)] = zs[k];
    }
  }
  return placed;
}

}  // namespace

float GivenCellSize(std::string_view text) {
  Result<float> cell_size = ParseSingle(text);
  if (!cell_size.ok()) throw StepError(cell_size.error());
  return *cell_size;
}

float DerivedCellSize(const XExtent& x) {
  // One distinct x value: 0 / 0.
  if (x.distinct_x < 2) throw StepError(ErrorKind::kDivisionByZero);
  double spacing = (x.max_x - x.min_x) / static_cast<double>(x.distinct_x - 1);
  return ToSingle(spacing);
}

GridShape ShapeGrid(const FilePoints& points, float cell_size) {
  return ShapeGrid(points.x_extent(), points.distinct_y().size(), points.min_y(), cell_size);
}

GridShape ShapeGrid(const XExtent& x, size_t distinct_y, double min_y, float cell_size) {
  GridShape shape;
  // Distinct counts never exceed the 32-bit count of data lines.
  shape.ncols = static_cast<int32_t>(x.distinct_x);
  shape.nrows = static_cast<int32_t>(distinct_y);
  shape.cell_size = cell_size;
  double half_cell = static_cast<double>(cell_size) / 2;
  shape.xllcorner = x.min_x - half_cell;
  shape.yllcorner = min_y - half_cell;
  return shape;
}

void CheckGridFitsInMemory(const GridShape& shape, uint64_t max_grid_bytes) {
  const uint64_t cells = static_cast<uint64_t>(shape.ncols) * static_cast<uint64_t>(shape.nrows);
  if (cells > max_grid_bytes / sizeof(float)) throw StepError(ErrorKind::kOutOfMemory);
}

int16_t CellIndex(double distance, float cell_size) {
  if (cell_size == 0) throw StepError(ErrorKind::kDivisionByZero);
  int32_t index = NearestCell(distance, cell_size);
  if (index == kOverflowed) throw StepError(ErrorKind::kOverflow);
  return static_cast<int16_t>(index);
}

PlacedPoints PlacePoints(const FilePoints& points, const GridShape& shape, int threads) {
  // A row depends on y alone and a column on x alone: one cell number per distinct value.
  CellTables file_cells{
      CellNumbers(points.distinct_y().values(), points.max_y(), -1, shape.cell_size),
      CellNumbers(points.distinct_x().values(), points.min_x(), 1, shape.cell_size)};
  const std::vector<PointSet>& pieces = points.pieces();
  const uint64_t cell_count =
      static_cast<uint64_t>(shape.ncols) * static_cast<uint64_t>(shape.nrows);
  if (threads <= 1 && cell_count <= 2 * static_cast<uint64_t>(points.size())) {
    return PlaceDense(points, shape, file_cells);
  }
  // Only rows up to the 16-bit limit can hold points; later rows are written empty.
  size_t row_count = std::min<size_t>(static_cast<size_t>(shape.nrows), kMaxCellIndex + 1);

  // Runs of consecutive pieces, a few per thread so that uneven runs even out.
  size_t runs = threads <= 1 ? 1 : std::min(pieces.size(), static_cast<size_t>(threads) * 4);
  runs = std::max<size_t>(runs, 1);
  auto first_piece = [&](size_t run) { return run * pieces.size() / runs; };
  std::vector<RowCount> counts(runs);
  ForEachRun(runs, threads, [&](size_t run) {
    counts[run].points_in_row.assign(row_count, 0);
    for (size_t p = first_piece(run); p < first_piece(run + 1); ++p) {
      CellTables cells = PieceCells(file_cells, points.y_map(p), points.x_map(p));
      if (!CountRows(pieces[p], cells, shape, counts[run])) return;
    }
  });
  // Runs come in file order: the first one with a failure holds the first failing point.
  for (const RowCount& count : counts) {
    if (count.failure) throw StepError(*count.failure);
  }

  // A stable counting sort by row: within a row, earlier runs first and file order in each run,
  // so the last point of a cell comes last.
  PlacedPoints placed;
  placed.row_start.assign(row_count + 1, 0);
  std::vector<std::vector<size_t>> next(runs, std::vector<size_t>(row_count));
  size_t filled = 0;
  for (size_t r = 0; r < row_count; ++r) {
    placed.row_start[r] = filled;
    for (size_t run = 0; run < runs; ++run) {
      next[run][r] = filled;
      filled += counts[run].points_in_row[r];
    }
  }
  placed.row_start[row_count] = filled;
  counts.clear();

  placed.cells.resize(filled);
  ForEachRun(runs, threads, [&](size_t run) {
    std::vector<size_t>& slot = next[run];
    for (size_t p = first_piece(run); p < first_piece(run + 1); ++p) {
      CellTables cells = PieceCells(file_cells, points.y_map(p), points.x_map(p));
      const std::vector<uint32_t>& x_index = pieces[p].x_index();
      const std::vector<uint32_t>& y_index = pieces[p].y_index();
      const std::vector<double>& zs = pieces[p].z();
      for (size_t k = 0; k < zs.size(); ++k) {
        size_t row = static_cast<size_t>(cells.row_of_y[y_index[k]]);
        placed.cells[slot[row]++] = PlacedCell{zs[k], cells.col_of_x[x_index[k]]};
      }
    }
  });
  return placed;
}

void CheckPlacement(const FilePoints& points, const GridShape& shape) {
  CellTables file_cells{
      CellNumbers(points.distinct_y().values(), points.max_y(), -1, shape.cell_size),
      CellNumbers(points.distinct_x().values(), points.min_x(), 1, shape.cell_size)};
  RowCount count;
  count.points_in_row.assign(std::min<size_t>(static_cast<size_t>(shape.nrows), kMaxCellIndex + 1),
                             0);
  for (size_t p = 0; p < points.pieces().size(); ++p) {
    CellTables cells = PieceCells(file_cells, points.y_map(p), points.x_map(p));
    if (!CountRows(points.pieces()[p], cells, shape, count)) throw StepError(*count.failure);
  }
}

bool LatticeFillsGridInOrder(const std::vector<double>& xs, const std::vector<double>& row_ys,
                             const GridShape& shape, double min_x, double max_y) {
  const std::vector<int32_t> rows = CellNumbers(row_ys, max_y, -1, shape.cell_size);
  const std::vector<int32_t> cols = CellNumbers(xs, min_x, 1, shape.cell_size);
  auto outside = [](int32_t number, int32_t count) { return number < 0 || number >= count; };
  // The points come row after row, each row in the order of xs; the first failing point decides,
  // its row checked before its column as CountRows does.
  auto failing_col = std::find_if(cols.begin(), cols.end(), [&](int32_t col) {
    return col == kOverflowed || outside(col, shape.ncols);
  });
  for (int32_t row : rows) {
    if (row == kOverflowed ||
        (!outside(row, shape.nrows) && failing_col != cols.end() && *failing_col == kOverflowed)) {
      throw StepError(ErrorKind::kOverflow);
    }
    if (outside(row, shape.nrows)) {
      throw StepError(cols.front() == kOverflowed ? ErrorKind::kOverflow
                                                  : ErrorKind::kSubscriptOutOfRange);
    }
    if (failing_col != cols.end()) throw StepError(ErrorKind::kSubscriptOutOfRange);
  }
  // North row first: rows that came south first are in order when reversed.
  const bool south_first = rows.size() > 1 && rows.front() > rows.back();
  for (size_t i = 0; i < rows.size(); ++i) {
    const size_t expected = south_first ? rows.size() - 1 - i : i;
    if (rows[i] != static_cast<int32_t>(expected)) return false;
  }
  for (size_t j = 0; j < cols.size(); ++j) {
    if (cols[j] != static_cast<int32_t>(j)) return false;
  }
  return true;
}

const double* GridRow(const GridShape& shape, const PlacedPoints& placed, size_t row,
                      double* scratch) {
  const size_t ncols = static_cast<size_t>(shape.ncols);
  if (!placed.dense.empty()) return placed.dense.data() + row * ncols;
  std::fill(scratch, scratch + ncols, kNoDataValue);
  if (row + 1 >= placed.row_start.size()) return scratch;  // beyond the rows that can hold points
  // Cells come in file order: the last point of a cell wins.
  for (size_t i = placed.row_start[row]; i < placed.row_start[row + 1]; ++i) {
    scratch[static_cast<size_t>(placed.cells[i].col)] = placed.cells[i].z;
  }
  return scratch;
}

}  // namespace terravox
