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

  // Adds value unless an equal one is there already.
  void Add(double value) {
    if (value == last_) return;  // sorted or row-ordered input repeats values back to back
    Insert(value);
  }
  size_t size() const { return values_.size(); }
  // The distinct values, first appearance first.
  const std::vector<double>& values() const { return values_; }

 private:
  void Insert(double value);
  void Grow();

  std::vector<uint64_t> slots_;  // open addressing, linear probing; kEmpty marks a free slot
  std::vector<double> values_;
  double last_;  // the last value added; NaN at first, which equals nothing
  int shift_;    // 64 - log2(slots_.size()), for Fibonacci hashing
};

}  // namespace terravox
