// ReadPoints: the data lines of an XYZ file as points, read in pieces that are parsed on one or
// several threads and joined in file order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "gridder/file_points.h"
#include "gridder/xyz_line.h"
#include "gridder/xyz_reader.h"

namespace terravox {

struct PointReading {
  std::string separator;
  // 1 reads on the calling thread alone; more parse pieces of the file at once.
  int threads = 1;
  // Bytes per piece when threads > 1.
  size_t piece_bytes = size_t{2} << 20;
  // More data lines than this is the overflow error (the count of data lines is 32-bit).
  int32_t max_data_lines = std::numeric_limits<int32_t>::max();
};

// The outcome of reading a file, decided from the pieces' lines taken in file order: the first
// failing data line decides, an overflowing count of data lines included.
class ReadingVerdict {
 public:
  explicit ReadingVerdict(int32_t max_data_lines) : max_data_lines_(max_data_lines) {}

  // Counts the data lines of the next piece, or decides at its failure. False once decided.
  bool Take(const XyzLineParser::Lines& lines);
  bool decided() const { return mismatch_ || failure_.has_value(); }
  // At the end: false when a data line does not fit the separator; throws StepError for the
  // failure of a data line, else for the reader's own error.
  bool Decide(const XyzLineReader& reader) const;

 private:
  int64_t max_data_lines_;
  int64_t data_lines_ = 0;
  bool mismatch_ = false;
  std::optional<Error> failure_;
};

// Reads every data line of the open reader into points. Returns false at the first data line that
// does not fit the separator; throws StepError for every other failure. Whatever the threads, the
// outcome is that of reading line after line: the first failing line in file order decides (an
// overflowing count of data lines included), and the points keep file order.
bool ReadPoints(XyzLineReader& reader, const PointReading& how, FilePoints& points);

}  // namespace terravox
