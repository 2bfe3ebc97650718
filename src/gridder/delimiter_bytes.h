// DelimiterBytes: where the line ends (CR, LF) and the separator bytes of a piece of text lie,
// found 64 bytes at a time, so that splitting a short line costs a few bit operations per field.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace terravox {

class DelimiterBytes {
 public:
  DelimiterBytes(std::string_view text, char separator)
      : data_(text.data()), size_(text.size()), separator_(separator) {}

  // The position of the first CR, LF or separator byte at or after from; the text's size when
  // there is none.
  size_t Next(size_t from) { return Find(from, true); }
  // The position of the first CR or LF at or after from; the text's size when there is none.
  size_t NextLineEnd(size_t from) { return Find(from, false); }
  // True when the byte at position is CR or LF. REQUIRES: position < size
  bool IsLineEnd(size_t position) const {
    return data_[position] == '\r' || data_[position] == '\n';
  }

 private:
  size_t Find(size_t from, bool separators) {
    for (;;) {
      if (from >= size_) return size_;
      const size_t block = from / 64;
      if (block != block_) Load(block);
      uint64_t found = separators ? ends_ | separators_ : ends_;
      found &= ~uint64_t{0} << (from % 64);
      if (found != 0) return block * 64 + static_cast<size_t>(std::countr_zero(found));
      from = (block + 1) * 64;
    }
  }
  // The masks of the block of 64 bytes from block * 64 (fewer at the end of the text).
  void Load(size_t block);

  const char* data_;
  size_t size_;
  char separator_;
  size_t block_ = SIZE_MAX;  // the block whose masks are loaded
  uint64_t ends_ = 0;        // bit i: byte block * 64 + i is CR or LF
  uint64_t separators_ = 0;  // bit i: that byte is the separator
};

}  // namespace terravox
