// The row-by-row lattice check: one comparison of x and of y per point.
#include "gridder/lattice_rows.h"

namespace terravox {

bool LatticeRows::Take(const PointSet& points, std::string_view texts, const uint32_t* text_ends,
                       RowTextSink* sink) {
  const std::vector<double>& x_values = points.distinct_x().values();
  const std::vector<double>& y_values = points.distinct_y().values();
  const std::vector<uint32_t>& x_index = points.x_index();
  const std::vector<uint32_t>& y_index = points.y_index();
  const size_t count = points.size();
  size_t text_from = 0;  // the first text byte not yet handed on
  for (size_t k = 0; k < count; ++k) {
    const double x = x_values[x_index[k]];
    const double y = y_values[y_index[k]];
    // Equal coordinates (0 and -0 included) are one value, as for the grid's distinct values.
    if (!row_ys_.empty() && y == row_y_) {
      if (!first_row_done_) {
        if (!(x > xs_.back())) return false;  // west to east, each x once
        xs_.push_back(x);
      } else if (col_ == xs_.size() || x != xs_[col_]) {
        return false;
      }
      ++col_;
      continue;
    }
    // Point k starts a new row.
    if (!row_ys_.empty()) {
      first_row_done_ = true;
      if (col_ != xs_.size()) return false;  // the row before is short
      const int direction = y < row_y_ ? -1 : 1;
      if (direction_ != 0 && direction != direction_) return false;
      direction_ = direction;
      if (sink != nullptr) {
        const size_t text_end = k == 0 ? 0 : text_ends[k - 1];
        sink->Append(texts.substr(text_from, text_end - text_from));
        sink->EndRow();
        text_from = text_end;
      }
    }
    if (first_row_done_ && x != xs_.front()) return false;
    if (!first_row_done_) xs_.push_back(x);
    row_ys_.push_back(y);
    row_y_ = y;
    col_ = 1;
  }
  if (sink != nullptr && count > 0) {
    sink->Append(texts.substr(text_from, text_ends[count - 1] - text_from));
  }
  points_ += static_cast<int64_t>(count);
  return true;
}

bool LatticeRows::Finish(RowTextSink* sink) {
  if (row_ys_.empty() || col_ != xs_.size()) return false;
  first_row_done_ = true;
  if (sink != nullptr) sink->EndRow();
  return true;
}

}  // namespace terravox
