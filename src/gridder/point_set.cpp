// Collecting points, and their extent from the distinct coordinates.
#include "gridder/point_set.h"

#include <new>
#include <stdexcept>

namespace terravox {
namespace {

// Strict comparisons from the first value on: of equal extremes (0 and -0) the first seen
// stays, as when the extent is followed point by point.
double Smallest(const std::vector<double>& values) {
  double smallest = values.front();
  for (double value : values) {
    if (value < smallest) smallest = value;
  }
  return smallest;
}

double Largest(const std::vector<double>& values) {
  double largest = values.front();
  for (double value : values) {
    if (value > largest) largest = value;
  }
  return largest;
}

}  // namespace

void PointSet::Reserve(size_t count) {
  try {
    x_index_.reserve(count);
    y_index_.reserve(count);
    z_.reserve(count);
  } catch (const std::bad_alloc&) {
    // Growing as the points come may still fit where one large block did not.
  } catch (const std::length_error&) {
  }
}

double PointSet::min_x() const { return Smallest(distinct_x_.values()); }
double PointSet::max_x() const { return Largest(distinct_x_.values()); }
double PointSet::min_y() const { return Smallest(distinct_y_.values()); }
double PointSet::max_y() const { return Largest(distinct_y_.values()); }

}  // namespace terravox
