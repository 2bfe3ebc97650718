// Collecting points with their extent and distinct coordinates.
#include "batch/point_set.h"

namespace terravox {

void PointSet::Add(const XyzPoint& point) {
  if (z_.empty()) {
    min_x_ = max_x_ = point.x;
    min_y_ = max_y_ = point.y;
  } else {
    if (point.x > max_x_) max_x_ = point.x;
    if (point.x < min_x_) min_x_ = point.x;
    if (point.y > max_y_) max_y_ = point.y;
    if (point.y < min_y_) min_y_ = point.y;
  }
  x_.push_back(point.x);
  y_.push_back(point.y);
  z_.push_back(point.z);
  distinct_x_.Add(point.x);
  distinct_y_.Add(point.y);
}

}  // namespace terravox
