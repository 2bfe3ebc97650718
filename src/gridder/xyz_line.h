// One line of an XYZ point file: comment test and splitting into x, y and z.
#pragma once

#include <string>
#include <string_view>

#include "gridder/text_number_cache.h"

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

// Reads the data lines of one file. Remembers the numbers of the x and y texts it has seen, which
// on a lattice repeat from line to line.
class XyzLineParser {
 public:
  explicit XyzLineParser(std::string separator) : separator_(std::move(separator)) {}

  // Splits a data line at every occurrence of the separator (exact, no merging, no trimming) and
  // reads fields 0, 1 and 2, in this order, as x, y and z; further fields are ignored.
  // Returns false when the line is one single field (the separator does not occur in it, or is
  // empty): the line does not fit the separator.
  // Throws StepError: subscript out of range for an empty line (no field at all) or a field 1 or
  // 2 that does not exist; type mismatch (or overflow) for a field that is not a number.
  bool Parse(std::string_view line, XyzPoint* point);

 private:
  std::string separator_;
  TextNumberCache x_numbers_;
  TextNumberCache y_numbers_;
};

}  // namespace terravox
