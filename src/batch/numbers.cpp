// Number parsing on std::from_chars after a strict grammar check; formatting on std::to_chars.
#include "batch/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>
#include <type_traits>

namespace terravox {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number part of the text with blanks trimmed, or an empty view when the text breaks the
// grammar. from_chars alone would accept "inf", "nan" and hex forms, which are not numbers here.
std::string_view NumberBody(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  std::string_view body = text.substr(begin, end - begin);

  size_t i = 0;
  if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
  size_t digits = 0;
  while (i < body.size() && IsDigit(body[i])) ++i, ++digits;
  if (i < body.size() && body[i] == '.') {
    ++i;
    while (i < body.size() && IsDigit(body[i])) ++i, ++digits;
  }
  if (digits == 0) return {};
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    size_t exponent_digits = 0;
    while (i < body.size() && IsDigit(body[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0) return {};
  }
  if (i != body.size()) return {};
  return body;
}

// True when a number that from_chars found out of range is too large, false when too small.
// Compares the position of the first significant digit with the exponent.
bool IsTooLarge(std::string_view body) {
  size_t i = (body[0] == '+' || body[0] == '-') ? 1 : 0;
  long long magnitude = 0;  // decimal exponent of the first significant digit
  bool seen_point = false;
  bool seen_significant = false;
  long long integer_digits = 0;
  long long leading_fraction_zeros = 0;
  for (; i < body.size() && body[i] != 'e' && body[i] != 'E'; ++i) {
    if (body[i] == '.') {
      seen_point = true;
      continue;
    }
    if (!seen_significant && body[i] == '0') {
      if (seen_point) ++leading_fraction_zeros;
      continue;
    }
    seen_significant = true;
    if (!seen_point) ++integer_digits;
  }
  magnitude = integer_digits > 0 ? integer_digits - 1 : -(leading_fraction_zeros + 1);
  if (i < body.size()) {
    long long exponent = std::strtoll(std::string(body.substr(i + 1)).c_str(), nullptr, 10);
    magnitude += exponent;
  }
  return magnitude > 0;
}

template <typename T>
Result<T> ParseNumber(std::string_view text) {
  std::string_view body = NumberBody(text);
  if (body.empty()) return Error(ErrorKind::kTypeMismatch);
  bool negative = body[0] == '-';
  std::string_view unsigned_body = (body[0] == '+' || body[0] == '-') ? body.substr(1) : body;
  T value{};
  auto [ptr, ec] =
      std::from_chars(unsigned_body.data(), unsigned_body.data() + unsigned_body.size(), value);
  if (ec == std::errc::result_out_of_range) {
    if (IsTooLarge(body)) return Error(ErrorKind::kOverflow);
    return negative ? -T{0} : T{0};
  }
  if (ec != std::errc() || ptr != unsigned_body.data() + unsigned_body.size()) {
    return Error(ErrorKind::kTypeMismatch);
  }
  return negative ? -value : value;
}

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
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                 std::chars_format::scientific);
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
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                 std::chars_format::general, precision);
  (void)ec;  // 64 characters always hold a general-format float or double
  for (char* p = buffer; p != ptr; ++p) {
    if (*p == 'e') *p = 'E';
  }
  out.append(buffer, ptr);
}

}  // namespace

bool IsNumber(std::string_view text) { return ParseDouble(text).ok(); }

Result<double> ParseDouble(std::string_view text) { return ParseNumber<double>(text); }

Result<float> ParseSingle(std::string_view text) { return ParseNumber<float>(text); }

double ParseDoubleOrThrow(std::string_view text) {
  Result<double> value = ParseDouble(text);
  if (!value.ok()) throw StepError(value.error());
  return *value;
}

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
