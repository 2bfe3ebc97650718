// Number parsing on std::from_chars after a strict grammar check.
#include "core/number_parse.h"

#include <charconv>
#include <cmath>
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

// The exponent's digits as a count, saturating at kExponentCap: a text cannot hold enough
// digits to bring a larger exponent back into range, and the cap keeps the sums below exact.
constexpr long long kExponentCap = 1'000'000'000'000'000;

long long SaturatedExponent(std::string_view digits) {
  long long exponent = 0;
  for (char c : digits) {
    if (exponent < kExponentCap) exponent = exponent * 10 + (c - '0');
  }
  return exponent;
}

// True when a number that from_chars found out of range is too large, false when too small.
// Compares the position of the first significant digit with the exponent.
bool IsTooLarge(std::string_view body) {
  size_t i = (body[0] == '+' || body[0] == '-') ? 1 : 0;
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
  // Decimal exponent of the first significant digit; bounded by the text's length.
  long long magnitude = integer_digits > 0 ? integer_digits - 1 : -(leading_fraction_zeros + 1);
  if (i < body.size()) {
    std::string_view exponent = body.substr(i + 1);
    bool negative = exponent[0] == '-';
    if (exponent[0] == '+' || exponent[0] == '-') exponent.remove_prefix(1);
    long long value = SaturatedExponent(exponent);
    magnitude += negative ? -value : value;
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

}  // namespace

bool IsNumber(std::string_view text) { return ParseDouble(text).ok(); }

Result<double> ParseDouble(std::string_view text) { return ParseNumber<double>(text); }

Result<float> ParseSingle(std::string_view text) { return ParseNumber<float>(text); }

double ParseDoubleOrThrow(std::string_view text) {
  Result<double> value = ParseDouble(text);
  if (!value.ok()) throw StepError(value.error());
  return *value;
}

bool HasNonZeroDigit(std::string_view text) {
  for (char c : text) {
    if (c == 'e' || c == 'E') return false;
    if (c >= '1' && c <= '9') return true;
  }
  return false;
}

}  // namespace terravox
