// PointSet: the points of one XYZ file, or of one piece of it, in file order. Each point keeps its
// z and the positions of its x and y among the distinct values, so a grid needs one cell number per
// distinct value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gridder/distinct_values.h"
#include "gridder/xyz_line.h"

namespace terravox {

class PointSet {
 public:
  // Makes room for about count points ahead, sparing the copies of growing; only a hint: a count
  // that cannot be had is ignored.
  void Reserve(size_t count);
  void Add(const XyzPoint& point) {
    x_index_.push_back(distinct_x_.Add(point.x));
    y_index_.push_back(distinct_y_.Add(point.y));
    z_.push_back(point.z);
  }

  bool empty() const { return z_.empty(); }
  size_t size() const { return z_.size(); }
  // Parallel arrays, one entry per data line in file order: the point's z, and where its x and y
  // stand in distinct_x().values() and distinct_y().values().
  const std::vector<double>& z() const { return z_; }
  const std::vector<uint32_t>& x_index() const { return x_index_; }
  const std::vector<uint32_t>& y_index() const { return y_index_; }
  const DistinctValues& distinct_x() const { return distinct_x_; }
  const DistinctValues& distinct_y() const { return distinct_y_; }

 private:
  std::vector<uint32_t> x_index_;
  std::vector<uint32_t> y_index_;
  std::vector<double> z_;
  DistinctValues distinct_x_;
  DistinctValues distinct_y_;
};

}  // namespace terravox
