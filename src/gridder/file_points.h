// FilePoints: the points of one XYZ file as consecutive pieces in file order, each read on its own
// (possibly on another thread), with the distinct coordinates of the whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gridder/distinct_values.h"
#include "gridder/point_set.h"

namespace terravox {

// What the cell size is derived from: the count of distinct x values and their range.
struct XExtent {
  size_t distinct_x = 0;
  double min_x = 0;
  double max_x = 0;
};

class FilePoints {
 public:
  // Appends the next piece of the file. Its distinct values that are new to the file join the
  // file's lists in the piece's order of first appearance, so the file's lists are what one pass
  // over the whole file would have found.
  void Append(PointSet piece);

  bool empty() const;
  // The points of all pieces.
  size_t size() const {
    size_t total = 0;
    for (const PointSet& piece : pieces_) total += piece.size();
    return total;
  }
  // The pieces in file order, and for each the position in distinct_x() (distinct_y()) of each
  // of its own distinct x (y) values.
  const std::vector<PointSet>& pieces() const { return pieces_; }
  const std::vector<uint32_t>& x_map(size_t piece) const { return x_maps_[piece]; }
  const std::vector<uint32_t>& y_map(size_t piece) const { return y_maps_[piece]; }

  // The distinct values of the whole file, first appearance first.
  const DistinctValues& distinct_x() const { return distinct_x_; }
  const DistinctValues& distinct_y() const { return distinct_y_; }

  // The extent. REQUIRES: !empty()
  XExtent x_extent() const { return {distinct_x_.size(), min_x(), max_x()}; }
  double min_x() const;
  double max_x() const;
  double min_y() const;
  double max_y() const;

 private:
  std::vector<PointSet> pieces_;
  std::vector<std::vector<uint32_t>> x_maps_;
  std::vector<std::vector<uint32_t>> y_maps_;
  DistinctValues distinct_x_;
  DistinctValues distinct_y_;
};

}  // namespace terravox
