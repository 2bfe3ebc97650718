// Plain reference readings for the fuzz targets: numbers through the C library's strtod, lines
// and fields split byte by byte. Deliberately simple, so they can judge the fast code.
#pragma once

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/status.h"

namespace terravox::fuzz {

// What the number rule must make of a text: its value, or the kind of error.
struct ReferenceNumber {
  std::optional<ErrorKind> error;
  double value = 0;
};

// The rule's alphabet is digits, sign, point, exponent letter and blanks: anything else is no
// number. Over that alphabet, strtod reading the whole text (trailing blanks aside) is the rule.
inline ReferenceNumber ReadNumberWithStrtod(std::string_view text) {
  ReferenceNumber ref;
  for (char c : text) {
    if (std::string_view("0123456789+-.eE \t").find(c) == std::string_view::npos) {
      ref.error = ErrorKind::kTypeMismatch;
      return ref;
    }
  }
  std::string trimmed(text);
  while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t')) trimmed.pop_back();
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(trimmed.c_str(), &end);
  if (end == trimmed.c_str() || *end != '\0') {
    ref.error = ErrorKind::kTypeMismatch;
  } else if (std::isinf(value)) {
    ref.error = ErrorKind::kOverflow;
  } else {
    ref.value = value;
  }
  return ref;
}

// The lines of a text: CR LF, a lone CR and a lone LF each end one; a last line without an end
// is a line too.
inline std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
      open = true;
    }
  }
  if (open) lines.push_back(line);
  return lines;
}

// The fields of a line between exact occurrences of the separator, left to right.
inline std::vector<std::string> SplitFields(std::string_view line, std::string_view separator) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < line.size();) {
    if (line.substr(i, separator.size()) == separator) {
      fields.emplace_back();
      i += separator.size();
    } else {
      fields.back() += line[i++];
    }
  }
  return fields;
}

// Stops the run: libFuzzer keeps the input that got here.
[[noreturn]] inline void Mismatch() { std::abort(); }

}  // namespace terravox::fuzz
