// UTF-8 well-formedness by the table of RFC 3629, and the escapes built on it.
#include "core/utf8_text.h"

namespace terravox {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
// Escapes spell bytes as the error log does.
constexpr char kEscapeDigits[] = "0123456789ABCDEF";

// The length of the well-formed sequence at text[at], or 0 when none starts there.
size_t SequenceLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

bool IsUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = SequenceLength(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string EscapeNonUtf8(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t length = SequenceLength(text, at);
    if (length > 0) {
      escaped.append(text.substr(at, length));
      at += length;
      continue;
    }
    const auto byte = static_cast<unsigned char>(text[at++]);
    escaped.append({'\\', 'x', kEscapeDigits[byte >> 4], kEscapeDigits[byte & 0xF]});
  }
  return escaped;
}

std::string ToHex(std::string_view bytes) {
  std::string hex;
  hex.reserve(2 * bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex.push_back(kHexDigits[byte >> 4]);
    hex.push_back(kHexDigits[byte & 0xF]);
  }
  return hex;
}

std::string FromHex(std::string_view hex) {
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (hex.size() % 2 != 0) return "";
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t at = 0; at < hex.size(); at += 2) {
    const int high = value(hex[at]);
    const int low = value(hex[at + 1]);
    if (high < 0 || low < 0) return "";
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

}  // namespace terravox
