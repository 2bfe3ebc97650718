// The open-addressing set behind DistinctValues.
#include "gridder/distinct_values.h"

#include <bit>
#include <limits>

namespace terravox {
namespace {

// A NaN bit pattern: no value we store has it.
constexpr uint64_t kEmpty = 0x7ff8'0000'0000'0001ULL;
constexpr size_t kInitialSlots = 64;

// The bits of a value as the key, with -0 folded onto 0 so the two count as one value.
uint64_t KeyOf(double value) { return std::bit_cast<uint64_t>(value == 0 ? 0.0 : value); }

// Fibonacci hashing: the high bits of the product mix every bit of the key.
size_t SlotOf(uint64_t key, int shift) {
  return static_cast<size_t>((key * 0x9e37'79b9'7f4a'7c15ULL) >> shift);
}

}  // namespace

DistinctValues::DistinctValues()
    : slots_(kInitialSlots, Slot{kEmpty, 0}),
      last_(std::numeric_limits<double>::quiet_NaN()),
      shift_(64 - std::countr_zero(kInitialSlots)) {}

uint32_t DistinctValues::Insert(double value) {
  last_ = value;
  uint64_t key = KeyOf(value);
  size_t mask = slots_.size() - 1;
  size_t slot = SlotOf(key, shift_);
  for (;; slot = (slot + 1) & mask) {
    if (slots_[slot].key == key) return last_index_ = slots_[slot].index;
    if (slots_[slot].key == kEmpty) break;
  }
  // Keep the first value seen: for 0 and -0 that is the one that appeared first. The count of
  // values never exceeds the 32-bit count of data lines.
  last_index_ = static_cast<uint32_t>(values_.size());
  slots_[slot] = Slot{key, last_index_};
  values_.push_back(value);
  if (values_.size() * 2 > slots_.size()) Grow();
  return last_index_;
}

void DistinctValues::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.size() * 2, Slot{kEmpty, 0});
  --shift_;
  size_t mask = slots_.size() - 1;
  for (const Slot& entry : old) {
    if (entry.key == kEmpty) continue;
    size_t slot = SlotOf(entry.key, shift_);
    while (slots_[slot].key != kEmpty) slot = (slot + 1) & mask;
    slots_[slot] = entry;
  }
}

}  // namespace terravox
