// The open-addressing table behind TextNumberCache.
#include "gridder/text_number_cache.h"

#include <bit>
#include <cstring>

#include "core/number_parse.h"

namespace terravox {
namespace {

constexpr size_t kInitialSlots = 256;
// The table stops growing here (2 MB): past that many distinct texts the fields are not
// coordinates of a lattice and are read one by one.
constexpr size_t kMaxSlots = size_t{1} << 16;

size_t SlotOf(uint64_t low, uint64_t high, uint32_t length, int shift) {
  uint64_t mixed = (low ^ std::rotl(high, 29) ^ length) * 0x9e37'79b9'7f4a'7c15ULL;
  return static_cast<size_t>(mixed >> shift);
}

uint64_t Load8(const char* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, 8);
  return word;
}

// The text's bytes as two words, zero padded: equal keys of equal length mean equal texts.
// REQUIRES: 1 <= text.size() <= 16
void KeyOf(std::string_view text, uint64_t* low, uint64_t* high) {
  size_t size = text.size();
  if constexpr (std::endian::native == std::endian::little) {
    // Whole-word loads: copying a few bytes into a padded buffer and reading it back as words
    // stalls on store forwarding, and this runs for every coordinate of the file.
    if (size >= 8) {
      *low = Load8(text.data());
      // The last eight bytes, shifted so that only those past the first eight remain.
      *high = size == 8 ? 0 : Load8(text.data() + size - 8) >> (8 * (16 - size));
      return;
    }
  }
  char bytes[16] = {};
  std::memcpy(bytes, text.data(), size);
  *low = Load8(bytes);
  *high = Load8(bytes + 8);
}

}  // namespace

TextNumberCache::TextNumberCache()
    : slots_(kInitialSlots, Entry{0, 0, 0, 0}), shift_(64 - std::countr_zero(kInitialSlots)) {}

double TextNumberCache::Parse(std::string_view text) {
  // An empty text is no number (and length 0 marks free slots); long ones are not kept.
  if (text.empty() || text.size() > kMaxTextLength) return ParseDoubleOrThrow(text);
  Entry probe{0, 0, static_cast<uint32_t>(text.size()), 0};
  KeyOf(text, &probe.low, &probe.high);

  size_t mask = slots_.size() - 1;
  for (size_t slot = SlotOf(probe.low, probe.high, probe.length, shift_);;
       slot = (slot + 1) & mask) {
    const Entry& entry = slots_[slot];
    if (entry.length == 0) break;
    if (entry.low == probe.low && entry.high == probe.high && entry.length == probe.length) {
      return entry.value;
    }
  }
  probe.value = ParseDoubleOrThrow(text);
  Insert(probe);
  return probe.value;
}

bool TextNumberCache::Insert(const Entry& entry) {
  if ((used_ + 1) * 2 > slots_.size()) {
    if (slots_.size() >= kMaxSlots) return false;
    Grow();
  }
  size_t mask = slots_.size() - 1;
  size_t slot = SlotOf(entry.low, entry.high, entry.length, shift_);
  while (slots_[slot].length != 0) slot = (slot + 1) & mask;
  slots_[slot] = entry;
  ++used_;
  return true;
}

void TextNumberCache::Grow() {
  std::vector<Entry> old = std::move(slots_);
  slots_.assign(old.size() * 2, Entry{0, 0, 0, 0});
  --shift_;
  used_ = 0;
  for (const Entry& entry : old) {
    if (entry.length != 0) Insert(entry);
  }
}

}  // namespace terravox
