// One line of an XYZ point file: comment test and splitting into x, y and z.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "core/status.h"
#include "gridder/distinct_values.h"
#include "gridder/point_set.h"
#include "gridder/text_number_cache.h"

namespace terravox {

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

  // What ParseLines met.
  struct Lines {
    int64_t data_lines = 0;        // data lines met, a failing one included
    bool mismatch = false;         // the last data line met does not fit the separator
    std::optional<Error> failure;  // the error of the last data line met
  };
  // Parses the lines of text (whole lines, as XyzLineReader::NextChunk gives them) in order up
  // to the first failing data line, skipping comment lines, and adds each point to points. Parse's
  // outcomes are told in the result, not thrown.
  Lines ParseLines(std::string_view text, PointSet& points);

 private:
  // Splits line and hands the texts of x, y and z, in this order, to on_x, on_y and on_z.
  template <typename OnX, typename OnY, typename OnZ>
  bool Split(std::string_view line, OnX&& on_x, OnY&& on_y, OnZ&& on_z);
  // The mark of the positions in the lists of points, a set of points that the parser fills.
  uint32_t MarkOf(const PointSet& points);
  // The position of text's number in values, the x or y list of the set marked mark, which it
  // joins when new.
  uint32_t IndexOf(TextNumberCache& cache, std::string_view text, DistinctValues& values,
                   uint32_t mark);
  // ParseLines for a separator of one byte other than CR and LF: each line is split in one pass.
  void ParseLinesOneByte(std::string_view text, PointSet& points, Lines& lines);

  std::string separator_;
  TextNumberCache x_numbers_;
  TextNumberCache y_numbers_;
  uint64_t marked_set_ = 0;  // the id of the set of points whose positions carry mark_
  uint32_t mark_ = 0;
};

}  // namespace terravox
