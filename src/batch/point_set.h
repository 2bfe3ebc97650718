// PointSet: the points of one XYZ file in file order, with their extent and distinct x and y.
#pragma once

#include <cstddef>
#include <vector>

#include "batch/distinct_values.h"
#include "batch/xyz_line.h"

namespace terravox {

class PointSet {
 public:
  // Makes room for about count points ahead, sparing the copies of growing; only a hint; a
  // count that cannot be had is ignored.
  void Reserve(size_t count);
  void Add(const XyzPoint& point);

  bool empty() const { return z_.empty(); }
  size_t size() const { return z_.size(); }
  // Parallel arrays, one entry per data line in file order.
  const std::vector<double>& x() const { return x_; }
  const std::vector<double>& y() const { return y_; }
  const std::vector<double>& z() const { return z_; }

  // REQUIRES: !empty()
  double min_x() const { return min_x_; }
  double max_x() const { return max_x_; }
  double min_y() const { return min_y_; }
  double max_y() const { return max_y_; }
  const DistinctValues& distinct_x() const { return distinct_x_; }
  const DistinctValues& distinct_y() const { return distinct_y_; }

 private:
  std::vector<double> x_;
  std::vector<double> y_;
  std::vector<double> z_;
  double min_x_ = 0;
  double max_x_ = 0;
  double min_y_ = 0;
  double max_y_ = 0;
  DistinctValues distinct_x_;
  DistinctValues distinct_y_;
};

}  // namespace terravox
