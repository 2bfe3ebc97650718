// Cell size, grid shape and the placing of points into rows and columns.
#include "batch/grid_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "batch/numbers.h"
#include "batch/status.h"

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

}  // namespace

float GivenCellSize(std::string_view text) {
  Result<float> cell_size = ParseSingle(text);
  if (!cell_size.ok()) throw StepError(cell_size.error());
  return *cell_size;
}

float DerivedCellSize(const PointSet& points) {
  size_t ncols = points.distinct_x().size();
  // One distinct x value: 0 / 0.
  if (ncols < 2) throw StepError(ErrorKind::kDivisionByZero);
  double spacing = (points.max_x() - points.min_x()) / static_cast<double>(ncols - 1);
  return ToSingle(spacing);
}

GridShape ShapeGrid(const PointSet& points, float cell_size) {
  GridShape shape;
  // Distinct counts never exceed the 32-bit count of data lines.
  shape.ncols = static_cast<int32_t>(points.distinct_x().size());
  shape.nrows = static_cast<int32_t>(points.distinct_y().size());
  shape.cell_size = cell_size;
  double half_cell = static_cast<double>(cell_size) / 2;
  shape.xllcorner = points.min_x() - half_cell;
  shape.yllcorner = points.min_y() - half_cell;
  return shape;
}

int16_t CellIndex(double distance, float cell_size) {
  if (cell_size == 0) throw StepError(ErrorKind::kDivisionByZero);
  double quotient = distance / static_cast<double>(cell_size);
  // Nearest, not ceiling: a single-precision cell size a hair below the true spacing must not
  // push exact lattice points one cell on.
  double index = std::floor(quotient + 0.5);
  if (!(index >= std::numeric_limits<int16_t>::min() && index <= kMaxCellIndex)) {
    throw StepError(ErrorKind::kOverflow);  // NaN and infinities land here too
  }
  return static_cast<int16_t>(index);
}

PlacedPoints PlacePoints(const PointSet& points, const GridShape& shape) {
  const std::vector<double>& xs = points.x();
  const std::vector<double>& ys = points.y();
  const std::vector<double>& zs = points.z();
  size_t count = zs.size();
  // Only rows up to the 16-bit limit can hold points; later rows are written empty.
  size_t row_count = std::min<size_t>(static_cast<size_t>(shape.nrows), kMaxCellIndex + 1);

  std::vector<int16_t> rows(count);
  std::vector<int16_t> cols(count);
  PlacedPoints placed;
  placed.row_start.assign(row_count + 1, 0);
  for (size_t k = 0; k < count; ++k) {
    int16_t row = CellIndex(points.max_y() - ys[k], shape.cell_size);
    int16_t col = CellIndex(xs[k] - points.min_x(), shape.cell_size);
    if (row < 0 || row >= shape.nrows || col < 0 || col >= shape.ncols) {
      throw StepError(ErrorKind::kSubscriptOutOfRange);
    }
    rows[k] = row;
    cols[k] = col;
    ++placed.row_start[static_cast<size_t>(row) + 1];
  }
  for (size_t r = 0; r < row_count; ++r) placed.row_start[r + 1] += placed.row_start[r];

  // A stable counting sort by row: file order survives within each row.
  placed.cells.resize(count);
  std::vector<size_t> next(placed.row_start.begin(), placed.row_start.end() - 1);
  for (size_t k = 0; k < count; ++k) {
    placed.cells[next[static_cast<size_t>(rows[k])]++] = PlacedCell{zs[k], cols[k]};
  }
  return placed;
}

}  // namespace terravox
