// Making room for the points of a file ahead.
#include "gridder/point_set.h"

#include <new>
#include <stdexcept>

namespace terravox {

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

}  // namespace terravox
