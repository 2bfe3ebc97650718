// DistinctValues: the distinct doubles of a sequence in order of first appearance, found by
// hashing so that the cost grows with the values seen, not with values times distinct values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace terravox {

// Distinctness is exact double equality: no tolerance, and 0 equals -0.
// REQUIRES: no NaN is ever added (the number rule never yields one).
class DistinctValues {
 public:
  DistinctValues();

  // Adds value unless an equal one is there already; returns the position of the value (or of
  // the equal one) in values().
  uint32_t Add(double value) {
    if (value == last_) return last_index_;  // row-ordered input repeats values back to back
    return Insert(value);
  }
  size_t size() const { return values_.size(); }
  // The distinct values, first appearance first.
  const std::vector<double>& values() const { return values_; }

 private:
  struct Slot {
    uint64_t key;  // kEmpty marks a free slot
    uint32_t index;
  };
  uint32_t Insert(double value);
  void Grow();

  std::vector<Slot> slots_;  // open addressing, linear probing
  std::vector<double> values_;
  double last_;  // the last value added; NaN at first, which equals nothing
  uint32_t last_index_ = 0;
  int shift_;  // 64 - log2(slots_.size()), for Fibonacci hashing
};

}  // namespace terravox
