// Number formatting on std::to_chars: %.15G / %.7G with the point, and progress counters.
#include "core/number_format.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>
#include <type_traits>

namespace terravox {
namespace {

// Appends %.15G of value when it is a whole number of hundredths below 1e13 in magnitude, as
// heights in centimetres and the -9999 no-data value are; returns false otherwise. The decimal
// n / 100 is then the shortest text that reads back as value (below 1e13 two doubles lie far
// closer together than 0.01) and has at most 15 digits, so it is what %.15G prints; an integer
// conversion is many times faster than a floating-point one.
bool AppendWholeHundredths(std::string& out, double value) {
  if (!(std::fabs(value) < 1e13)) return false;
  const long long hundredths = std::llround(value * 100);
  if (static_cast<double>(hundredths) / 100 != value) return false;
  char buffer[24];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, hundredths);
  (void)ec;  // 24 characters hold any long long
  const char* begin = buffer;
  if (*begin == '-') out += *begin++;
  const std::string_view digits(begin, static_cast<size_t>(end - begin));
  const size_t n = digits.size();
  const char tenths = n >= 2 ? digits[n - 2] : '0';
  const char hundredths_digit = digits[n - 1];
  if (n > 2) {
    out.append(digits.substr(0, n - 2));
  } else {
    out += '0';
  }
  if (tenths == '0' && hundredths_digit == '0') return true;
  out += '.';
  out += tenths;
  if (hundredths_digit != '0') out += hundredths_digit;
  return true;
}

// Appends %.{precision}G of value built from its shortest round-trip digits, when there are at
// most `precision` of them; returns false otherwise. For a double and at most 15 digits those
// digits are exactly the ones printf rounds to (half a unit in the last place of a normal double is
// less than half a unit of the 15th digit; subnormals carry fewer digits and are left out), and
// finding them is several times faster than a
// fixed-precision conversion: this is the grid writer's hot path.
bool AppendFromShortestDigits(std::string& out, double value, int precision) {
  char buffer[64];  // [-]d[.ddd]e(+|-)dd[d]
  auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  (void)ec;  // 64 characters always hold a scientific double
  const char* p = buffer;
  bool negative = *p == '-';
  if (negative) ++p;
  char digits[32];
  int count = 0;
  for (; p != end && *p != 'e'; ++p) {
    if (*p != '.') digits[count++] = *p;
  }
  if (count > precision || p == end) return false;
  const char* exponent_text = p + 1;
  int exponent = 0;
  for (const char* q = exponent_text + 1; q != end; ++q) exponent = exponent * 10 + (*q - '0');
  if (*exponent_text == '-') exponent = -exponent;

  if (exponent < -4 || exponent >= precision) {
    // to_chars writes the exponent as printf does: a sign and at least two digits.
    out.append(buffer, static_cast<size_t>(p - buffer));
    out += 'E';
    out.append(exponent_text, static_cast<size_t>(end - exponent_text));
    return true;
  }
  if (negative) out += '-';
  if (exponent < 0) {
    out += "0.";
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out.append(digits, static_cast<size_t>(count));
    return true;
  }
  int integer_digits = exponent + 1;
  if (count <= integer_digits) {
    out.append(digits, static_cast<size_t>(count));
    out.append(static_cast<size_t>(integer_digits - count), '0');
  } else {
    out.append(digits, static_cast<size_t>(integer_digits));
    out += '.';
    out.append(digits + integer_digits, static_cast<size_t>(count - integer_digits));
  }
  return true;
}

template <typename T>
void AppendGeneral(std::string& out, T value, int precision) {
  if (value == 0) value = 0;  // -0 is written as 0
  if constexpr (std::is_same_v<T, double>) {
    if (precision == 15 && AppendWholeHundredths(out, value)) return;
    if (precision <= 15 && std::fabs(value) >= std::numeric_limits<double>::min() &&
        AppendFromShortestDigits(out, value, precision)) {
      return;
    }
  }
  char buffer[64];
  auto [ptr, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
  (void)ec;  // 64 characters always hold a general-format float or double
  for (char* p = buffer; p != ptr; ++p) {
    if (*p == 'e') *p = 'E';
  }
  out.append(buffer, ptr);
}

}  // namespace

std::string FormatDouble(double value) {
  std::string out;
  AppendGeneral(out, value, 15);
  return out;
}

std::string FormatSingle(float value) {
  std::string out;
  AppendGeneral(out, value, 7);
  return out;
}

void AppendDouble(std::string& out, double value) { AppendGeneral(out, value, 15); }

std::string FormatCounter(long long value) {
  return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

}  // namespace terravox
