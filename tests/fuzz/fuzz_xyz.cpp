// Fuzz target: the XYZ line reader and line parser against plain references, each line alone and
// each piece at once as the gridder parses it (into a set of points that outlives the pieces, as
// the parser's number caches do; two sets in turn, as pieces of two files). The first byte picks
// the separator, the second the reader's piece size (so lines cross piece edges); the rest is the
// file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_reference.h"
#include "gridder/point_set.h"
#include "gridder/xyz_line.h"
#include "gridder/xyz_reader.h"

namespace {

using terravox::ErrorKind;
using terravox::PointSet;
using terravox::StepError;
using terravox::XyzLineParser;
using terravox::XyzLineReader;
using terravox::XyzPoint;
using terravox::fuzz::Mismatch;
using terravox::fuzz::ReadNumberWithStrtod;
using terravox::fuzz::ReferenceNumber;

// The file lives in memory; the reader opens it by path like any other.
int MemoryFile() {
  static int fd = memfd_create("fuzz_xyz", 0);
  return fd;
}

// Parse's outcome: a point, false, or the kind of error it threw.
struct Outcome {
  bool fits = false;
  XyzPoint point;
  std::optional<ErrorKind> error;
};

Outcome Expected(std::string_view line, std::string_view separator) {
  Outcome out;
  if (line.empty()) {
    out.error = ErrorKind::kSubscriptOutOfRange;
    return out;
  }
  if (separator.empty()) return out;
  std::vector<std::string> fields = terravox::fuzz::SplitFields(line, separator);
  if (fields.size() == 1) return out;
  double* targets[] = {&out.point.x, &out.point.y, &out.point.z};
  for (size_t i = 0; i < 3; ++i) {
    if (i == fields.size()) {
      out.error = ErrorKind::kSubscriptOutOfRange;
      return out;
    }
    ReferenceNumber number = ReadNumberWithStrtod(fields[i]);
    if (number.error) {
      out.error = number.error;
      return out;
    }
    *targets[i] = number.value;
  }
  out.fits = true;
  return out;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// ParseLines over one piece against the expected outcome of its lines, each on its own: the same
// points up to the first data line that fails, then that line's failure. x and y are compared
// as values: the distinct lists take 0 and -0 for one.
void CheckPiece(XyzLineParser& parser, std::string_view piece, std::string_view separator,
                PointSet& points) {
  const size_t first_point = points.size();
  const XyzLineParser::Lines got = parser.ParseLines(piece, points);
  int64_t data_lines = 0;
  size_t point = first_point;
  Outcome failed;
  failed.fits = true;
  terravox::ForEachLine(piece, [&](std::string_view line) {
    if (terravox::IsCommentLine(line)) return true;
    ++data_lines;
    Outcome expected = Expected(line, separator);
    if (!expected.fits || expected.error) {
      failed = expected;
      return false;
    }
    if (point >= points.size() ||
        points.distinct_x().values()[points.x_index()[point]] != expected.point.x ||
        points.distinct_y().values()[points.y_index()[point]] != expected.point.y ||
        !SameBits(points.z()[point], expected.point.z)) {
      Mismatch();
    }
    ++point;
    return true;
  });
  const bool failed_here = !failed.fits || failed.error;
  if (got.data_lines != data_lines || point != points.size() ||
      got.mismatch != (failed_here && !failed.error) ||
      (got.failure ? std::optional(got.failure->kind()) : std::nullopt) != failed.error) {
    Mismatch();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const char* kSeparators[] = {" ", ",", "\t", ";", "  ", ", ", "", "ab"};
  const std::string separator = kSeparators[data[0] % 8];
  const size_t piece_bytes = 1 + data[1] % 64;
  const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);

  int fd = MemoryFile();
  if (fd < 0 || ftruncate(fd, 0) != 0 ||
      pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
    return 0;
  }
  XyzLineReader reader;
  if (!reader.Open("/proc/self/fd/" + std::to_string(fd)).ok()) Mismatch();

  const std::vector<std::string> expected_lines = terravox::fuzz::SplitLines(text);
  XyzLineParser parser(separator);
  size_t count = 0;
  terravox::ByteBuffer piece;
  XyzLineParser piece_parser(separator);
  PointSet sets[2];
  size_t pieces = 0;
  while (reader.NextChunk(piece_bytes, &piece)) {
    CheckPiece(piece_parser, std::string_view(piece.data(), piece.size()), separator,
               sets[pieces++ % 2]);
    terravox::ForEachLine(std::string_view(piece.data(), piece.size()), [&](std::string_view line) {
      if (count >= expected_lines.size() || line != expected_lines[count]) Mismatch();
      ++count;
      if (terravox::IsCommentLine(line)) return true;
      Outcome expected = Expected(line, separator);
      Outcome got;
      try {
        got.fits = parser.Parse(line, &got.point);
      } catch (const StepError& e) {
        got.error = e.error().kind();
      }
      if (got.error != expected.error || got.fits != expected.fits) Mismatch();
      if (got.fits &&
          (!SameBits(got.point.x, expected.point.x) || !SameBits(got.point.y, expected.point.y) ||
           !SameBits(got.point.z, expected.point.z))) {
        Mismatch();
      }
      return true;
    });
  }
  if (!reader.status().ok() || count != expected_lines.size()) Mismatch();
  return 0;
}
