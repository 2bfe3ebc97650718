// ReadPoints: the data lines of an XYZ file as points, read line after line on the calling thread
// or in pieces parsed on several threads and joined in file order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "gridder/file_points.h"
#include "gridder/xyz_reader.h"

namespace terravox {

struct PointReading {
  std::string separator;
  // 1 reads line after line on the calling thread; more parse pieces of the file at once.
  int threads = 1;
  // Bytes per piece.
  size_t piece_bytes = size_t{2} << 20;
  // More data lines than this is the overflow error (the count of data lines is 32-bit).
  int32_t max_data_lines = std::numeric_limits<int32_t>::max();
};

// Reads every data line of the open reader into points. Returns false at the first data line that
// does not fit the separator; throws StepError for every other failure. Whatever the threads, the
// outcome is that of reading line after line: the first failing line in file order decides (an
// overflowing count of data lines included), and the points keep file order.
bool ReadPoints(XyzLineReader& reader, const PointReading& how, FilePoints& points);

}  // namespace terravox
