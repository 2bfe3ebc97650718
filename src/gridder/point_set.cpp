// Making room for the points of a file ahead.
#include "gridder/point_set.h"

#include <atomic>
#include <new>
#include <stdexcept>
#include <utility>

namespace terravox {
namespace {

uint64_t NewId() {
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

PointSet::PointSet() : id_(NewId()) {}

PointSet::PointSet(PointSet&& other) noexcept
    : id_(std::exchange(other.id_, NewId())),
      x_index_(std::move(other.x_index_)),
      y_index_(std::move(other.y_index_)),
      z_(std::move(other.z_)),
      distinct_x_(std::move(other.distinct_x_)),
      distinct_y_(std::move(other.distinct_y_)) {
  other.ClearPoints();
  other.distinct_x_ = DistinctValues();
  other.distinct_y_ = DistinctValues();
}

PointSet& PointSet::operator=(PointSet&& other) noexcept {
  if (this != &other) {
    id_ = std::exchange(other.id_, NewId());
    x_index_ = std::move(other.x_index_);
    y_index_ = std::move(other.y_index_);
    z_ = std::move(other.z_);
    distinct_x_ = std::move(other.distinct_x_);
    distinct_y_ = std::move(other.distinct_y_);
    other.ClearPoints();
    other.distinct_x_ = DistinctValues();
    other.distinct_y_ = DistinctValues();
  }
  return *this;
}

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
