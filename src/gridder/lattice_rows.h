// LatticeRows: follows the points of an XYZ file in file order while they form a lattice written
// row by row (every row the same x values, west to east; rows north to south or south to north),
// and hands on the text of each row as it is completed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "gridder/point_set.h"

namespace terravox {

// Where the rows' text goes.
class RowTextSink {
 public:
  virtual ~RowTextSink() = default;
  // The next cell texts of the current row, each followed by one blank.
  virtual void Append(std::string_view text) = 0;
  // The current row is complete: its last blank becomes the line end.
  virtual void EndRow() = 0;
};

class LatticeRows {
 public:
  // The next points of the file and, when sink is given, the text of each point's z followed by a
  // blank in texts: point k's text ends at texts[text_ends[k]]. The texts of whole runs of a row
  // go to sink, each completed row ending with EndRow. False once the points are no lattice
  // written row by row; nothing more may be taken then.
  bool Take(const PointSet& points, std::string_view texts, const uint32_t* text_ends,
            RowTextSink* sink);
  // At the end of the file: true when the points taken form such a lattice, whose last row is
  // then ended in sink.
  bool Finish(RowTextSink* sink);

  int64_t points() const { return points_; }
  // The x values of every row, west to east, and the y of each row in file order.
  const std::vector<double>& xs() const { return xs_; }
  const std::vector<double>& row_ys() const { return row_ys_; }
  bool south_first() const { return direction_ > 0; }
  bool first_row_done() const { return first_row_done_; }

 private:
  std::vector<double> xs_;
  std::vector<double> row_ys_;
  bool first_row_done_ = false;
  int direction_ = 0;  // -1: y falls from row to row, +1: it rises, 0: not known yet
  double row_y_ = 0;   // the y of the current row
  size_t col_ = 0;     // points of the current row so far
  int64_t points_ = 0;
};

}  // namespace terravox
