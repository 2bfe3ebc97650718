// Reading points in pieces: a serial reader cuts the file at line ends, pieces are parsed on any
// thread, and a serial joiner takes them in file order and decides on failures.
#include "gridder/point_reading.h"

#include <tbb/enumerable_thread_specific.h>

#include "core/run_control.h"
#include "core/status.h"
#include "gridder/piece_pipeline.h"
#include "gridder/xyz_line.h"

namespace terravox {
namespace {

// One piece of the file on its way through the pipeline.
struct Piece {
  ByteBuffer bytes;
  PointSet points;
  XyzLineParser::Lines lines;
};

bool ReadOnOneThread(XyzLineReader& reader, const PointReading& how, FilePoints& points) {
  XyzLineParser parser(how.separator);
  ReadingVerdict verdict(how.max_data_lines);
  // One set for the whole file: its distinct values are found once.
  PointSet read;
  read.Reserve(reader.file_size() / 20);  // short XYZ lines run to about 20 bytes
  ByteBuffer bytes;
  while (reader.NextChunk(kSerialPieceBytes, &bytes)) {
    ThrowIfError(CheckRun(static_cast<double>(reader.bytes_read()) /
                          static_cast<double>(reader.file_size())));
    if (!verdict.Take(parser.ParseLines(std::string_view(bytes.data(), bytes.size()), read))) {
      break;
    }
  }
  if (!verdict.Decide(reader)) return false;
  points.Append(std::move(read));
  return true;
}

}  // namespace

bool ReadingVerdict::Take(const XyzLineParser::Lines& lines) {
  if (decided()) return false;
  // The count is checked before each data line is parsed: an overflow comes first.
  if (data_lines_ + lines.data_lines > max_data_lines_) {
    failure_ = Error(ErrorKind::kOverflow);
  } else if (lines.mismatch) {
    mismatch_ = true;
  } else if (lines.failure) {
    failure_ = lines.failure;
  } else {
    data_lines_ += lines.data_lines;
  }
  return !decided();
}

bool ReadingVerdict::Decide(const XyzLineReader& reader) const {
  if (failure_) throw StepError(*failure_);
  if (mismatch_) return false;
  ThrowIfError(reader.status());
  return true;
}

bool ReadPoints(XyzLineReader& reader, const PointReading& how, FilePoints& points) {
  if (how.threads <= 1) return ReadOnOneThread(reader, how, points);
  // Each thread keeps its own parser: the number caches are per thread, their values the same.
  tbb::enumerable_thread_specific<XyzLineParser> parsers(how.separator);
  ReadingVerdict verdict(how.max_data_lines);
  RunPieces<Piece>(
      reader, how.piece_bytes, how.threads,
      [&](Piece& piece) {
        piece.points.Reserve(piece.bytes.size() / 20);
        piece.lines = parsers.local().ParseLines(
            std::string_view(piece.bytes.data(), piece.bytes.size()), piece.points);
      },
      [&](Piece& piece) {
        if (!verdict.Take(piece.lines)) return false;
        points.Append(std::move(piece.points));
        return true;
      });
  return verdict.Decide(reader);
}

}  // namespace terravox
