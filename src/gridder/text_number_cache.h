// TextNumberCache: remembers the numbers read from short field texts. The coordinates of a lattice
// take few distinct texts (one per column or row), so most fields need no conversion at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace terravox {

class TextNumberCache {
 public:
  // Texts longer than this are never kept.
  static constexpr size_t kMaxTextLength = 16;

  TextNumberCache();

  // The number of text, converted once by ParseDoubleOrThrow and remembered after that.
  // Throws as ParseDoubleOrThrow does; a text that is no number is never remembered.
  double Parse(std::string_view text);

 private:
  struct Entry {
    uint64_t low;   // the text's first eight bytes, zero padded
    uint64_t high;  // its next eight bytes, zero padded
    uint32_t length;
    double value;
  };
  bool Insert(const Entry& entry);
  void Grow();

  std::vector<Entry> slots_;  // open addressing, linear probing; length 0 marks a free slot
  size_t used_ = 0;
  int shift_;  // 64 - log2(slots_.size())
};

}  // namespace terravox
