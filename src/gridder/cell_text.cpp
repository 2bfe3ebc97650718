// Cell values to text: whole hundredths by integer arithmetic, anything else by AppendDouble.
#include "gridder/cell_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "core/cell_handover.h"
#include "core/number_format.h"
#include "gridder/handed_grid.h"

namespace terravox {
namespace {

// "00".."99": two digits per step of the integer conversion.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of n (no sign) at out and returns the end: the digits are written
// from the last one back, two at a time, into a buffer whose sixteen bytes from the first digit
// go to out in one copy. REQUIRES: n < 10^16, room for 16 bytes at out.
char* WriteDigits(char* out, uint64_t n) {
  char digits[36] = {};
  char* const last = digits + 20;
  char* p = last;
  while (n >= 100) {
    const unsigned pair = static_cast<unsigned>(n % 100) * 2;
    n /= 100;
    *--p = kDigitPairs[pair + 1];
    *--p = kDigitPairs[pair];
  }
  if (n >= 10) {
    const unsigned pair = static_cast<unsigned>(n) * 2;
    *--p = kDigitPairs[pair + 1];
    *--p = kDigitPairs[pair];
  } else {
    *--p = static_cast<char>('0' + n);
  }
  std::memcpy(out, p, 16);
  return out + (last - p);
}

}  // namespace

char* WriteCellText(char* out, double value, float* cell) {
  long long hundredths = 0;
  if (WholeHundredths(value, &hundredths)) {
    // The text reads back as value itself (0 for -0): no-data only at -9999 exactly, as the next
    // hundredths lie apart in single precision too, and never refused.
    if (cell != nullptr) {
      *cell = hundredths == -999900 ? kHandedNoData : static_cast<float>(value + 0.0);
    }
    uint64_t magnitude = static_cast<uint64_t>(hundredths);
    if (hundredths < 0) {
      *out++ = '-';
      magnitude = 0 - magnitude;
    }
    out = WriteDigits(out, magnitude / 100);
    const unsigned cents = static_cast<unsigned>(magnitude % 100);
    if (cents != 0) {
      *out++ = '.';
      *out++ = static_cast<char>('0' + cents / 10);
      if (cents % 10 != 0) *out++ = static_cast<char>('0' + cents % 10);
    }
    return out;
  }
  thread_local std::string text;
  text.clear();
  AppendDouble(text, value);
  if (cell != nullptr && !ReadBackCellText(text, *cell)) {
    *cell = std::numeric_limits<float>::quiet_NaN();
  }
  return std::copy(text.begin(), text.end(), out);
}

void AppendGridLine(const double* values, size_t count, ByteBuffer& out) {
  const size_t start = out.size();
  out.resize(start + count * (kMaxCellTextBytes + 1) + 2);
  char* p = out.data() + start;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) *p++ = ' ';
    // Empty cells are the bulk of sparse grids; their text is fixed.
    if (values[i] == -9999) {
      for (char c : {'-', '9', '9', '9', '9'}) *p++ = c;
    } else {
      p = WriteCellText(p, values[i]);
    }
  }
  *p++ = '\r';
  *p++ = '\n';
  out.resize(static_cast<size_t>(p - out.data()));
}

}  // namespace terravox
