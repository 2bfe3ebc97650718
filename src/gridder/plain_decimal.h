// ParsePlainDecimal: the common short form of a number ("391.75", "-12", "4189997.5") read in a
// few instructions, exactly as the full number rule would read it.
#pragma once

#include <cstdint>
#include <string_view>

namespace terravox {

// Reads text of the form [+|-]digits[.digits] (at least one digit, at most 19, no blanks, no
// exponent) whose digits as a whole number stay within 2^53 and that has at most 22 digits after
// the point: then the value is that whole number divided by a power of ten, both exact in double,
// so the one rounding of the division is the correctly rounded value the number rule gives.
// Returns false for any other text, which the caller reads by the full rule.
inline bool ParsePlainDecimal(std::string_view text, double* value) {
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const char* p = text.data();
  const char* const end = p + text.size();
  bool negative = false;
  if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  uint64_t whole = 0;  // wraps past 19 digits, which are refused below
  const char* digits_begin = p;
  while (p != end && static_cast<unsigned>(*p - '0') < 10) whole = whole * 10 + (*p++ - '0');
  long digits = p - digits_begin;
  long fraction = 0;
  if (p != end && *p == '.') {
    const char* fraction_begin = ++p;
    while (p != end && static_cast<unsigned>(*p - '0') < 10) whole = whole * 10 + (*p++ - '0');
    fraction = p - fraction_begin;
    digits += fraction;
  }
  if (p != end || digits == 0 || digits > 19 || whole > (uint64_t{1} << 53) || fraction > 22) {
    return false;
  }
  // Signed: a 64-bit signed conversion is one instruction, an unsigned one is not.
  double result = static_cast<double>(static_cast<int64_t>(whole));
  if (fraction > 0) result /= kPowersOfTen[fraction];
  *value = negative ? -result : result;
  return true;
}

}  // namespace terravox
