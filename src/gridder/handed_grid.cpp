// Reading a cell's text back as the ASCII step's reader does, and gathering a grid's cells in the
// room the hand-over gives.
#include "gridder/handed_grid.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "core/number_format.h"
#include "core/number_parse.h"
#include "gridder/cell_text.h"

namespace terravox {
namespace {

// The grids the gridder writes say NODATA_value -9999.
constexpr double kNoData = -9999;

// The cell of a text read as parsed, with or without a fraction (or an exponent), and with or
// without a digit other than 0 before its exponent.
bool ReadBack(double parsed, bool fraction, bool nonzero_digit, float& cell) {
  // The reader compares the value with the no-data value (in single precision once a text with a
  // fraction or an exponent types the grid's cells as single), and rounds it to single. A whole
  // number compares alike either way, so each text can be judged alone.
  constexpr double kMax = std::numeric_limits<float>::max();
  const double compared = fraction ? static_cast<float>(std::clamp(parsed, -kMax, kMax)) : parsed;
  if (compared == kNoData) {
    cell = kHandedNoData;
    return true;
  }
  const float single = static_cast<float>(parsed);
  // The reader refuses a value beyond single precision, one that single precision holds as 0,
  // and one that equals the no-data value it writes.
  if (std::isinf(single) || (single == 0 && nonzero_digit) || single == kHandedNoData) {
    return false;
  }
  cell = single;
  return true;
}

}  // namespace

bool ReadBackCell(double value, float& cell) {
  long long hundredths = 0;
  if (WholeHundredths(value, &hundredths)) {
    // The text of -0 is "0".
    return ReadBack(value + 0.0, hundredths % 100 != 0, false, cell);
  }
  thread_local std::string text;
  text.clear();
  AppendDouble(text, value);
  return ReadBackCellText(text, cell);
}

bool ReadBackCellText(std::string_view text, float& cell) {
  Result<double> read = ParseDouble(text);
  if (!read.ok()) return false;
  return ReadBack(*read, text.find_first_of(".,eE") != std::string_view::npos,
                  HasNonZeroDigit(text), cell);
}

HandedGridCollector::HandedGridCollector(CellHandOver* hand_over) {
  if (hand_over != nullptr) room_ = hand_over->Reserve(0);
}

void HandedGridCollector::Append(const float* cells, size_t count) {
  if (!room_) return;
  const size_t needed = cells_.size() + count;
  if (needed > cells_.capacity()) {
    const size_t capacity = std::max({needed, cells_.capacity() * 2, size_t{4096}});
    if (!room_.Grow(capacity * sizeof(float))) return GiveUp();
    cells_.reserve(capacity);
  }
  cells_.insert(cells_.end(), cells, cells + count);
}

void HandedGridCollector::GiveUp() {
  room_.Release();
  std::vector<float>().swap(cells_);
}

std::optional<PendingCells> HandedGridCollector::Finish(int ncols, int nrows, bool south_first,
                                                        std::string header) {
  const size_t width = static_cast<size_t>(ncols);
  if (!room_ || cells_.size() != width * static_cast<size_t>(nrows)) {
    GiveUp();
    return std::nullopt;
  }
  if (south_first) {
    for (size_t top = 0, bottom = static_cast<size_t>(nrows) - 1; top < bottom; ++top, --bottom) {
      std::swap_ranges(cells_.begin() + static_cast<ptrdiff_t>(top * width),
                       cells_.begin() + static_cast<ptrdiff_t>((top + 1) * width),
                       cells_.begin() + static_cast<ptrdiff_t>(bottom * width));
    }
  }
  auto handed = std::make_shared<HandedCells>();
  handed->ncols = ncols;
  handed->nrows = nrows;
  handed->cells = std::move(cells_);
  handed->header = std::move(header);
  return PendingCells{std::move(handed), std::move(room_)};
}

std::optional<PendingCells> HandedGridOf(CellHandOver* hand_over, const GridShape& shape,
                                         const PlacedPoints& placed, std::string header) {
  if (hand_over == nullptr) return std::nullopt;
  const size_t ncols = static_cast<size_t>(shape.ncols);
  const size_t count = ncols * static_cast<size_t>(shape.nrows);
  CellHandOver::Room room = hand_over->Reserve(count * sizeof(float) + header.size());
  if (!room) return std::nullopt;
  auto handed = std::make_shared<HandedCells>();
  handed->ncols = shape.ncols;
  handed->nrows = shape.nrows;
  handed->cells.resize(count);
  std::vector<double> scratch(ncols);
  for (size_t row = 0; row < static_cast<size_t>(shape.nrows); ++row) {
    const double* values = GridRow(shape, placed, row, scratch.data());
    float* cells = handed->cells.data() + row * ncols;
    for (size_t col = 0; col < ncols; ++col) {
      if (!ReadBackCell(values[col], cells[col])) return std::nullopt;
    }
  }
  handed->header = std::move(header);
  return PendingCells{std::move(handed), std::move(room)};
}

}  // namespace terravox
