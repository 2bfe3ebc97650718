// Cell values to text: whole hundredths by integer arithmetic, anything else by AppendDouble.
#include "gridder/cell_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "core/number_format.h"

namespace terravox {
namespace {

// "00".."99": two digits per step of the integer conversion.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of n (no sign) at out and returns the end: the digits are counted
// first and written from the last one back, two at a time.
char* WriteDigits(char* out, uint64_t n) {
  int length = 1;
  for (uint64_t limit = 10; length < 20 && n >= limit; limit *= 10) ++length;
  char* p = out + length;
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
  return out + length;
}

}  // namespace

char* WriteCellText(char* out, double value) {
  // A whole number of hundredths below 1e13 in magnitude: n / 100 is then the shortest text that
  // reads back as value, with at most 15 digits, so it is what %.15G prints (the reasoning of
  // AppendDouble's own short path, which this one matches byte for byte).
  if (std::fabs(value) < 1e13) {
    const double scaled = value * 100;
    const long long hundredths = static_cast<long long>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
    if (static_cast<double>(hundredths) / 100 == value) {
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
  }
  thread_local std::string text;
  text.clear();
  AppendDouble(text, value);
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
