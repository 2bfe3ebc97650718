// File names are the system's bytes, which need not be UTF-8: the checks and escapes that let such
// a name be shown and stored as text without losing what tells it apart.
#pragma once

#include <string>
#include <string_view>

namespace terravox {

// True when text is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool IsUtf8(std::string_view text);

// The text with each byte that is not part of a well-formed UTF-8 sequence written as \xHH; the
// rest unchanged. Two names that differ keep differing unless one spells out the other's escape.
std::string EscapeNonUtf8(std::string_view text);

// The bytes as lower-case hexadecimal, and back; FromHex gives "" for text that is no hex pairs.
std::string ToHex(std::string_view bytes);
std::string FromHex(std::string_view hex);

}  // namespace terravox
