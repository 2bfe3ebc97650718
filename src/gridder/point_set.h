// PointSet: the points of one XYZ file, or of one piece of it, in file order. Each point keeps its
// z and the positions of its x and y among the distinct values, so a grid needs one cell number per
// distinct value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gridder/distinct_values.h"

namespace terravox {

struct XyzPoint {
  double x = 0;
  double y = 0;
  double z = 0;
};

class PointSet {
 public:
  PointSet();
  // A moved-from set starts afresh, with an id of its own.
  PointSet(PointSet&& other) noexcept;
  PointSet& operator=(PointSet&& other) noexcept;

  // Tells this set apart from every other set of the process, for remembering positions in its
  // lists: it stays while the lists only grow.
  uint64_t id() const { return id_; }
  // Drops the points and keeps the distinct values.
  void ClearPoints() {
    x_index_.clear();
    y_index_.clear();
    z_.clear();
  }
  // Makes room for about count points ahead, sparing the copies of growing; only a hint: a count
  // that cannot be had is ignored.
  void Reserve(size_t count);
  void Add(const XyzPoint& point) {
    Add(distinct_x_.Add(point.x), distinct_y_.Add(point.y), point.z);
  }
  // A point whose x and y already stand in distinct_x() and distinct_y() at these positions.
  void Add(uint32_t x_index, uint32_t y_index, double z) {
    x_index_.push_back(x_index);
    y_index_.push_back(y_index);
    z_.push_back(z);
  }
  // The lists that the positions of Add point into, for adding values to them.
  DistinctValues& mutable_distinct_x() { return distinct_x_; }
  DistinctValues& mutable_distinct_y() { return distinct_y_; }

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
  uint64_t id_;
  std::vector<uint32_t> x_index_;
  std::vector<uint32_t> y_index_;
  std::vector<double> z_;
  DistinctValues distinct_x_;
  DistinctValues distinct_y_;
};

}  // namespace terravox
