// Cell size, grid shape and the placing of points into rows and columns.
#include "gridder/grid_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

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
  int32_t index = NearestCell(distance, cell_size);
  if (index == kOverflowed) throw StepError(ErrorKind::kOverflow);
  return static_cast<int16_t>(index);
}

PlacedPoints PlacePoints(const PointSet& points, const GridShape& shape) {
  // A row depends on y alone and a column on x alone: one cell number per distinct value.
  std::vector<int32_t> row_of_y =
      CellNumbers(points.distinct_y().values(), points.max_y(), -1, shape.cell_size);
  std::vector<int32_t> col_of_x =
      CellNumbers(points.distinct_x().values(), points.min_x(), 1, shape.cell_size);
  const std::vector<uint32_t>& x_index = points.x_index();
  const std::vector<uint32_t>& y_index = points.y_index();
  const std::vector<double>& zs = points.z();
  size_t count = zs.size();
  // Only rows up to the 16-bit limit can hold points; later rows are written empty.
  size_t row_count = std::min<size_t>(static_cast<size_t>(shape.nrows), kMaxCellIndex + 1);

  PlacedPoints placed;
  placed.row_start.assign(row_count + 1, 0);
  for (size_t k = 0; k < count; ++k) {
    int32_t row = row_of_y[y_index[k]];
    int32_t col = col_of_x[x_index[k]];
    // In file order, the first failing point decides, its row before its column.
    if (row == kOverflowed || col == kOverflowed) throw StepError(ErrorKind::kOverflow);
    if (row < 0 || row >= shape.nrows || col < 0 || col >= shape.ncols) {
      throw StepError(ErrorKind::kSubscriptOutOfRange);
    }
    ++placed.row_start[static_cast<size_t>(row) + 1];
  }
  for (size_t r = 0; r < row_count; ++r) placed.row_start[r + 1] += placed.row_start[r];

  // A stable counting sort by row: file order survives within each row.
  placed.cells.resize(count);
  std::vector<size_t> next(placed.row_start.begin(), placed.row_start.end() - 1);
  for (size_t k = 0; k < count; ++k) {
    size_t row = static_cast<size_t>(row_of_y[y_index[k]]);
    placed.cells[next[row]++] = PlacedCell{zs[k], col_of_x[x_index[k]]};
  }
  return placed;
}

}  // namespace terravox
