// The memory estimate of the gridder's streaming pass: the head of the file tells whether it
// applies.
#include "gridder/memory_estimate.h"

#include <algorithm>

#include "gridder/lattice_gridder.h"
#include "gridder/xyz_reader.h"

namespace terravox {
namespace {

constexpr uint64_t kMegabyte = uint64_t{1} << 20;
// Enough of a file to see two rows of a lattice 20,000 points wide.
constexpr size_t kHeadBytes = size_t{2} << 20;

}  // namespace

std::optional<uint64_t> StreamedGriddingPeakBytes(const std::string& path,
                                                  const std::string& separator, int threads) {
  XyzLineReader reader;
  if (!reader.Open(path).ok()) return std::nullopt;
  const uint64_t file_size = reader.file_size();
  const LatticeHead head = ReadLatticeHead(reader, separator, kHeadBytes);
  // A failing line ends the file's gridding early, at little cost either way.
  if (head.failing || !head.seen_as_rows) return std::nullopt;
  // Streamed: the pieces under way (text, points and their heights' texts, about three times the
  // text), the rows waiting to be written, and the y and the end of every row.
  const uint64_t piece = threads <= 1 ? kMegabyte / 4 : 2 * kMegabyte;
  const uint64_t pieces = threads <= 1 ? 1 : 2 * static_cast<uint64_t>(threads);
  const uint64_t bytes_per_row = std::max<uint64_t>(1, head.bytes / head.rows);
  const uint64_t row_count = file_size / bytes_per_row + 1;
  return 16 * kMegabyte + pieces * 3 * piece + 5 * kMegabyte + 16 * row_count + 8 * head.columns;
}

}  // namespace terravox
