// One line of an XYZ point file: comment test and splitting into x, y and z.
#pragma once

#include <string_view>

namespace terravox {

struct XyzPoint {
  double x = 0;
  double y = 0;
  double z = 0;
};

// A comment line: its very first character is "#", "'", "\" or "/". A blank in front makes the
// line a data line.
inline bool IsCommentLine(std::string_view line) {
  if (line.empty()) return false;
  char first = line.front();
  return first == '#' || first == '\'' || first == '\\' || first == '/';
}

// Splits a data line at every occurrence of separator (exact, no merging, no trimming) and reads
// fields 0, 1 and 2, in this order, as x, y and z; further fields are ignored.
// Returns false when the line is one single field (the separator does not occur in it, or is
// empty): the line does not fit the separator.
// Throws StepError: subscript out of range for an empty line (no field at all) or a field 1 or 2
// that does not exist; type mismatch (or overflow) for a field that is not a number.
bool ParseXyzLine(std::string_view line, std::string_view separator, XyzPoint* point);

}  // namespace terravox
