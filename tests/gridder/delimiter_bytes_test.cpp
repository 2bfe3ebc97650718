// DelimiterBytes against a plain byte scan, on texts whose delimiters fall on and beside the
// borders of its 64-byte blocks, and whose other bytes include every high byte.
#include "gridder/delimiter_bytes.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>

namespace terravox {
namespace {

size_t PlainNext(const std::string& text, size_t from, char separator, bool separators) {
  for (size_t i = from; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n' || (separators && text[i] == separator)) return i;
  }
  return text.size();
}

TEST(DelimiterBytesTest, FindsWhatAByteScanFindsFromEveryPosition) {
  const char separators[] = {' ', ',', '\t', '\xA0'};
  std::mt19937 random(7);
  for (char separator : separators) {
    for (size_t size : {0, 1, 15, 16, 63, 64, 65, 127, 128, 129, 200}) {
      SCOPED_TRACE("separator " + std::to_string(static_cast<unsigned char>(separator)) +
                   ", size " + std::to_string(size));
      // Mostly other bytes (digits and every byte from 0x80 up), a delimiter now and then, and
      // always one at each block border and just before it.
      std::string text(size, '0');
      for (size_t i = 0; i < size; ++i) {
        const unsigned pick = random() % 16;
        text[i] = pick == 0   ? '\r'
                  : pick == 1 ? '\n'
                  : pick == 2 ? separator
                  : pick < 8  ? static_cast<char>(0x80 + random() % 128)
                              : static_cast<char>('0' + pick);
        if (text[i] == separator && pick != 2) text[i] = '5';
      }
      for (size_t border = 64; border <= size; border += 64) {
        text[border - 1] = separator;
        if (border < size) text[border] = '\n';
      }
      DelimiterBytes any(text, separator);
      DelimiterBytes ends(text, separator);
      for (size_t from = 0; from <= size; ++from) {
        ASSERT_EQ(any.Next(from), PlainNext(text, from, separator, true)) << "from " << from;
        ASSERT_EQ(ends.NextLineEnd(from), PlainNext(text, from, separator, false))
            << "from " << from;
      }
    }
  }
}

}  // namespace
}  // namespace terravox
