// The block masks of DelimiterBytes: SSE2 compares where the processor has them, a byte loop
// elsewhere.
#include "gridder/delimiter_bytes.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace terravox {

void DelimiterBytes::Load(size_t block) {
  block_ = block;
  const size_t start = block * 64;
  const size_t count = std::min<size_t>(64, size_ - start);
  const char* bytes = data_ + start;
  char padded[64];
  if (count < 64) {
    // The last block: never read past the text.
    std::memcpy(padded, bytes, count);
    std::memset(padded + count, 0, 64 - count);
    bytes = padded;
  }
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i separator = _mm_set1_epi8(separator_);
  uint64_t ends = 0;
  uint64_t separators = 0;
  for (size_t i = 0; i < 4; ++i) {
    __m128i chunk;
    std::memcpy(&chunk, bytes + 16 * i, 16);
    const __m128i end = _mm_or_si128(_mm_cmpeq_epi8(chunk, lf), _mm_cmpeq_epi8(chunk, cr));
    ends |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(end))} << (16 * i);
    separators |=
        uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, separator)))}
        << (16 * i);
  }
#else
  uint64_t ends = 0;
  uint64_t separators = 0;
  for (int i = 0; i < 64; ++i) {
    ends |= uint64_t{bytes[i] == '\n' || bytes[i] == '\r'} << i;
    separators |= uint64_t{bytes[i] == separator_} << i;
  }
#endif
  // Bytes past the end of the text are nothing.
  const uint64_t valid = count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
  ends_ = ends & valid;
  separators_ = separators & valid;
}

}  // namespace terravox
