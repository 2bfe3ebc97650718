// Reading points line after line, or in pieces: a serial reader cuts the file at line ends, pieces
// are parsed on any thread, and a serial joiner takes them in file order and decides on failures.
#include "gridder/point_reading.h"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_pipeline.h>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "core/run_control.h"
#include "core/status.h"
#include "gridder/xyz_line.h"

namespace terravox {
namespace {

// Lines read between two looks at the run's stop request: a few milliseconds of work.
constexpr int32_t kLinesPerCheck = 1 << 16;

bool ReadLineByLine(XyzLineReader& reader, const PointReading& how, FilePoints& points) {
  XyzLineParser parser(how.separator);
  PointSet read;
  // Unused room costs no memory until touched; short XYZ lines run to about 20 bytes.
  read.Reserve(reader.file_size() / 20);
  int32_t data_lines = 0;
  XyzPoint point;
  bool fits = true;
  ByteBuffer piece;
  while (fits && reader.NextChunk(how.piece_bytes, &piece)) {
    ForEachLine(std::string_view(piece.data(), piece.size()), [&](std::string_view line) {
      if (IsCommentLine(line)) return true;
      if (data_lines == how.max_data_lines) throw StepError(ErrorKind::kOverflow);
      ++data_lines;
      if (data_lines % kLinesPerCheck == 0 && reader.file_size() > 0) {
        ThrowIfError(CheckRun(static_cast<double>(reader.bytes_read()) /
                              static_cast<double>(reader.file_size())));
      }
      fits = parser.Parse(line, &point);
      if (fits) read.Add(point);
      return fits;
    });
  }
  if (!fits) return false;
  ThrowIfError(reader.status());
  points.Append(std::move(read));
  return true;
}

// One piece of the file on its way through the pipeline.
struct Piece {
  ByteBuffer bytes;
  PointSet points;
  int64_t data_lines = 0;        // data lines met, a failing one included
  bool mismatch = false;         // the last data line met does not fit the separator
  std::optional<Error> failure;  // the error of the last data line met
};

// Parses the lines of a piece up to its first failing one.
void ParsePiece(Piece& piece, XyzLineParser& parser) {
  std::string_view text(piece.bytes.data(), piece.bytes.size());
  piece.points.Reserve(text.size() / 20);
  XyzPoint point;
  try {
    ForEachLine(text, [&](std::string_view line) {
      if (IsCommentLine(line)) return true;
      ++piece.data_lines;
      if (!parser.Parse(line, &point)) {
        piece.mismatch = true;
        return false;
      }
      piece.points.Add(point);
      return true;
    });
  } catch (const StepError& e) {
    piece.failure = e.error();
  }
  piece.bytes = {};  // the text is done with; only the points travel on
}

// Takes the parsed pieces in file order and keeps the first failure, as reading line after line
// would have met it.
class PieceJoiner {
 public:
  PieceJoiner(FilePoints& points, int32_t max_data_lines)
      : points_(points), max_data_lines_(max_data_lines) {}

  // Joins the piece, or decides the outcome at its failure. False once decided.
  bool Join(Piece& piece) {
    if (decided()) return false;
    // The count is checked before each data line is parsed: an overflow comes first.
    if (data_lines_ + piece.data_lines > max_data_lines_) {
      failure_ = Error(ErrorKind::kOverflow);
    } else if (piece.mismatch) {
      mismatch_ = true;
    } else if (piece.failure) {
      failure_ = std::move(piece.failure);
    } else {
      data_lines_ += piece.data_lines;
      points_.Append(std::move(piece.points));
    }
    return !decided();
  }
  bool decided() const { return mismatch_ || failure_.has_value(); }
  bool mismatch() const { return mismatch_; }
  const std::optional<Error>& failure() const { return failure_; }

 private:
  FilePoints& points_;
  int64_t max_data_lines_;
  int64_t data_lines_ = 0;
  bool mismatch_ = false;
  std::optional<Error> failure_;
};

bool ReadInPieces(XyzLineReader& reader, const PointReading& how, FilePoints& points) {
  // Each thread keeps its own parser: the number caches are per thread, their values the same.
  tbb::enumerable_thread_specific<XyzLineParser> parsers(how.separator);
  PieceJoiner joiner(points, how.max_data_lines);
  std::atomic<bool> stop{false};
  using PiecePtr = std::shared_ptr<Piece>;
  // The pieces are cut on any thread of the pool: the run's stop request is looked at directly.
  const StopWatcher run;
  bool cancelled = false;

  auto read = [&](tbb::flow_control& control) -> PiecePtr {
    auto piece = std::make_shared<Piece>();
    cancelled = cancelled || run.stop_requested();
    if (cancelled || stop.load(std::memory_order_relaxed) ||
        !reader.NextChunk(how.piece_bytes, &piece->bytes)) {
      control.stop();
      return nullptr;
    }
    return piece;
  };
  auto parse = [&](PiecePtr piece) -> PiecePtr {
    ParsePiece(*piece, parsers.local());
    return piece;
  };
  auto join = [&](const PiecePtr& piece) {
    if (!joiner.Join(*piece)) stop.store(true, std::memory_order_relaxed);
  };
  // Two pieces per thread in flight: threads never wait for a piece, and memory stays bounded.
  size_t in_flight = static_cast<size_t>(how.threads) * 2;
  tbb::parallel_pipeline(
      in_flight, tbb::make_filter<void, PiecePtr>(tbb::filter_mode::serial_in_order, read) &
                     tbb::make_filter<PiecePtr, PiecePtr>(tbb::filter_mode::parallel, parse) &
                     tbb::make_filter<PiecePtr, void>(tbb::filter_mode::serial_in_order, join));

  if (cancelled) throw StepError(CancelledError());
  if (joiner.failure()) throw StepError(*joiner.failure());
  if (joiner.mismatch()) return false;
  ThrowIfError(reader.status());
  return true;
}

}  // namespace

bool ReadPoints(XyzLineReader& reader, const PointReading& how, FilePoints& points) {
  if (how.threads <= 1) return ReadLineByLine(reader, how, points);
  return ReadInPieces(reader, how, points);
}

}  // namespace terravox
