// TextNumberCache: remembers the numbers read from short field texts. The coordinates of a lattice
// take few distinct texts (one per column or row), so most fields need no conversion at all.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace terravox {

class TextNumberCache {
 public:
  // Texts longer than this are never kept.
  static constexpr size_t kMaxTextLength = 15;

  // A remembered text's number, and a mark its user may set: it stays with the text for as long
  // as the text is remembered. A text that is not kept comes with mark 0.
  struct Number {
    double value;
    uint32_t mark;
    uint32_t mark_value;
  };

  TextNumberCache();

  // The number of text, converted once by the number rule and remembered after that.
  // Throws as ParseDoubleOrThrow does; a text that is no number is never remembered.
  double Parse(std::string_view text) { return Find(text).value; }
  // The same, with its mark. Valid until the next call.
  Number& Find(std::string_view text) {
    // An empty text is no number; long ones are not kept.
    if (text.empty() || text.size() > kMaxTextLength) return Unkept(text);
    Entry probe{0, 0, {0, 0, 0}};
    KeyOf(text, &probe.low, &probe.high);
    if (Same(slots_[last_slot_], probe)) return slots_[last_slot_].number;
    const size_t mask = slots_.size() - 1;
    for (size_t slot = SlotOf(probe, shift_);; slot = (slot + 1) & mask) {
      const Entry& entry = slots_[slot];
      if (Same(entry, probe)) {
        last_slot_ = slot;
        return slots_[slot].number;
      }
      if (Free(entry)) return Insert(text, probe);
    }
  }

  // Sets every mark back to 0.
  void ClearMarks();

 private:
  // Two to a cache line.
  struct alignas(32) Entry {
    uint64_t low;   // the text's first eight bytes, zero padded
    uint64_t high;  // its next seven bytes, zero padded, then its length: never 0 for a text
    Number number;
  };

  static bool Same(const Entry& a, const Entry& b) { return a.low == b.low && a.high == b.high; }
  static bool Free(const Entry& entry) { return entry.high == 0; }
  static size_t SlotOf(const Entry& entry, int shift) {
    uint64_t mixed = (entry.low ^ std::rotl(entry.high, 29)) * 0x9e37'79b9'7f4a'7c15ULL;
    return static_cast<size_t>(mixed >> shift);
  }
  static uint64_t Load8(const char* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, 8);
    return word;
  }
  // The text's bytes and its length as two words: equal keys mean equal texts, NUL bytes and all.
  // REQUIRES: 1 <= text.size() <= 15
  static void KeyOf(std::string_view text, uint64_t* low, uint64_t* high) {
    const size_t size = text.size();
    if constexpr (std::endian::native == std::endian::little) {
      // Whole-word loads: copying a few bytes into a padded buffer and reading it back as words
      // stalls on store forwarding, and this runs for every coordinate of the file.
      if (size >= 8) {
        *low = Load8(text.data());
        // The last eight bytes, shifted so that only those past the first eight remain; the
        // length goes into the last byte.
        *high = (size == 8 ? 0 : Load8(text.data() + size - 8) >> (8 * (16 - size))) |
                uint64_t{size} << 56;
        return;
      }
    }
    char bytes[16] = {};
    std::memcpy(bytes, text.data(), size);
    bytes[15] = static_cast<char>(size);
    *low = Load8(bytes);
    *high = Load8(bytes + 8);
  }

  // The number of a text that is not kept.
  Number& Unkept(std::string_view text);
  // Reads a new text and keeps it, unless the table is full.
  Number& Insert(std::string_view text, Entry probe);
  // Puts an entry into a free slot. REQUIRES: room for it.
  Number& Place(const Entry& entry);
  void Grow();

  std::vector<Entry> slots_;  // open addressing, linear probing
  size_t used_ = 0;
  int shift_;               // 64 - log2(slots_.size())
  size_t last_slot_ = 0;    // the slot found last: lattices repeat a text line after line
  Number unkept_{0, 0, 0};  // a text that is not kept
};

}  // namespace terravox
