// Collecting points with their extent and distinct coordinates.
#include "batch/point_set.h"

#include <new>
#include <stdexcept>

namespace terravox {

void PointSet::Reserve(size_t count) {
  try {
    x_.reserve(count);
    y_.reserve(count);
    z_.reserve(count);
  } catch (const std::bad_alloc&) {
    // Growing as the points come may still fit where one large block did not.
  } catch (const std::length_error&) {
  }
}

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
