// The streaming pass: pieces parsed and their heights formatted on any thread, the lattice
// followed and the rows written in file order, the header put in front at the end.
#include "gridder/lattice_gridder.h"

#include <tbb/enumerable_thread_specific.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <vector>

#include "core/run_control.h"
#include "gridder/ascii_grid_writer.h"
#include "gridder/cell_text.h"
#include "gridder/grid_body.h"
#include "gridder/lattice_rows.h"
#include "gridder/piece_pipeline.h"
#include "gridder/point_reading.h"
#include "gridder/xyz_line.h"

namespace terravox {
namespace {

struct LatticePiece {
  ByteBuffer bytes;
  PointSet points;
  XyzLineParser::Lines lines;
  ByteBuffer texts;                 // each point's height as the grid shows it, then a blank
  std::vector<uint32_t> text_ends;  // where each point's text ends in texts
  std::vector<float> cells;         // each point's cell as the ASCII step reads it back
  bool cells_read_back = false;     // every point's cell is in cells
};

// The texts of the piece's heights and, for the hand-over, their cells as the ASCII step reads
// them back: cells_read_back tells whether every one could be.
void FormatHeights(LatticePiece& piece, bool read_back) {
  const std::vector<double>& z = piece.points.z();
  piece.texts.resize(z.size() * (kMaxCellTextBytes + 1));
  piece.text_ends.resize(z.size());
  piece.cells.resize(read_back ? z.size() : 0);
  char* const begin = piece.texts.data();
  char* out = begin;
  float* const cells = read_back ? piece.cells.data() : nullptr;
  bool refused = false;
  for (size_t k = 0; k < z.size(); ++k) {
    out = WriteCellText(out, z[k], cells != nullptr ? cells + k : nullptr);
    if (cells != nullptr) refused |= std::isnan(cells[k]);
    *out++ = ' ';
    piece.text_ends[k] = static_cast<uint32_t>(out - begin);
  }
  piece.texts.resize(static_cast<size_t>(out - begin));
  piece.cells_read_back = read_back && !refused;
}

// The length of the header, guessed from the rows read so far and the size of the file, so that
// the rows can be written behind it before the count of rows is known.
size_t GuessHeaderLength(const LatticeRows& rows, double bytes_per_point, size_t file_size) {
  const std::vector<double>& xs = rows.xs();
  const std::vector<double>& ys = rows.row_ys();
  if (rows.south_first()) return 0;  // the rows are copied in reverse behind the header anyway
  const size_t ncols = xs.size();
  const double points = static_cast<double>(file_size) / bytes_per_point;
  const size_t nrows = std::max(ys.size(), static_cast<size_t>(std::llround(points / ncols)));
  const float cell_size =
      ncols > 1 ? static_cast<float>((xs.back() - xs.front()) / static_cast<double>(ncols - 1))
                : 1.0f;
  const double row_step = ys.size() > 1 ? ys[0] - ys[1] : cell_size;
  const double min_y = ys[0] - static_cast<double>(nrows - 1) * row_step;
  return AsciiGridHeader(ShapeGrid(XExtent{ncols, xs.front(), xs.back()}, nrows, min_y, cell_size))
      .size();
}

// Bytes of the head read before the pieces go to several threads: a file that is no lattice is
// told after its first rows, before the threads have parsed several pieces for nothing.
constexpr size_t kHeadBytes = size_t{64} << 10;

}  // namespace

LatticeHead ReadLatticeHead(XyzLineReader& reader, const std::string& separator,
                            size_t head_bytes) {
  LatticeHead head;
  ByteBuffer text;
  if (!reader.Rewind().ok() || !reader.NextChunk(head_bytes, &text)) {
    head.failing = !reader.status().ok();
    return head;
  }
  XyzLineParser parser(separator);
  PointSet points;
  const XyzLineParser::Lines lines =
      parser.ParseLines(std::string_view(text.data(), text.size()), points);
  LatticeRows rows;
  head.failing = lines.mismatch || lines.failure.has_value();
  head.may_stream = rows.Take(points, {}, nullptr, nullptr);
  head.bytes = text.size();
  head.rows = rows.row_ys().size();
  head.columns = rows.xs().size();
  const bool whole_file = head.bytes == reader.file_size() && !head.failing;
  head.seen_as_rows = head.may_stream && (head.rows > 1 || (whole_file && rows.Finish(nullptr)));
  return head;
}

namespace {

// Widens the figures' height range by heights.
void AddHeights(const std::vector<double>& heights, LatticeFigures& figures) {
  for (double z : heights) {
    figures.min_z = std::min(figures.min_z, static_cast<float>(z));
    figures.max_z = std::max(figures.max_z, static_cast<float>(z));
  }
}

}  // namespace

LatticePass GridLatticeFile(XyzLineReader& reader, const LatticeGridding& how,
                            const CellSizeChoice& cell_size, const std::string& target,
                            LatticeFigures& figures, PendingFile* grid,
                            std::optional<PendingCells>* handed) {
  if (how.threads > 1) {
    const LatticeHead head = ReadLatticeHead(reader, how.separator, kHeadBytes);
    if (!head.may_stream && !head.failing) return LatticePass::kNotALattice;
  }
  ThrowIfError(reader.Rewind());
  const bool writing = grid != nullptr;
  HandedGridCollector collector(writing && handed != nullptr ? how.hand_over : nullptr);
  // Read on the threads that parse, cleared in file order once the hand-over is given up.
  std::atomic<bool> collecting{collector.active()};
  figures.min_z = std::numeric_limits<float>::max();
  figures.max_z = std::numeric_limits<float>::lowest();
  // Each thread keeps its own parser: the number caches are per thread, their values the same.
  tbb::enumerable_thread_specific<XyzLineParser> parsers(how.separator);
  ReadingVerdict verdict(std::numeric_limits<int32_t>::max());
  LatticeRows rows;
  // The bytes and points of the pieces joined so far, the current one included.
  uint64_t bytes_joined = 0;
  int64_t points_joined = 0;
  GridBody body(target, how.row_buffer_bytes, [&] {
    const double bytes_per_point = static_cast<double>(bytes_joined) /
                                   static_cast<double>(std::max<int64_t>(points_joined, 1));
    return GuessHeaderLength(rows, std::max(bytes_per_point, 1.0), reader.file_size());
  });
  bool lattice = true;
  {
    ProgressSpan span(0.0, kStreamShare);
    RunPieces<LatticePiece>(
        reader, how.threads <= 1 ? kSerialPieceBytes : how.piece_bytes, how.threads,
        [&](LatticePiece& piece) {
          // On one thread the piece comes again: its distinct values stay, found once.
          piece.points.ClearPoints();
          piece.lines = parsers.local().ParseLines(
              std::string_view(piece.bytes.data(), piece.bytes.size()), piece.points);
          if (writing) FormatHeights(piece, collecting.load(std::memory_order_relaxed));
        },
        [&](LatticePiece& piece) {
          if (!verdict.Take(piece.lines)) return false;
          bytes_joined += piece.bytes.size();
          if (!writing) AddHeights(piece.points.z(), figures);
          points_joined = rows.points() + static_cast<int64_t>(piece.points.size());
          if (!rows.Take(piece.points, std::string_view(piece.texts.data(), piece.texts.size()),
                         piece.text_ends.data(), writing ? &body : nullptr)) {
            lattice = false;
          }
          if (!piece.cells_read_back) collector.GiveUp();
          collector.Append(piece.cells.data(), piece.points.size());
          if (!collector.active()) collecting.store(false, std::memory_order_relaxed);
          return lattice;
        });
  }
  // A failing line decides wherever the lattice stands; one that was not read yet is for the
  // whole reading to find.
  if (!lattice) return LatticePass::kNotALattice;
  if (!verdict.Decide(reader)) return LatticePass::kMisfit;
  if (!rows.Finish(writing ? &body : nullptr)) return LatticePass::kNotALattice;

  // From here on, the steps of the in-memory way, in its order.
  figures.points = rows.points();
  const std::vector<double>& xs = rows.xs();
  const std::vector<double>& ys = rows.row_ys();
  figures.x = XExtent{xs.size(), xs.front(), xs.back()};
  figures.min_y = rows.south_first() ? ys.front() : ys.back();
  figures.max_y = rows.south_first() ? ys.back() : ys.front();
  const float size = cell_size(figures.x);
  figures.has_cell_size = true;
  figures.shape = ShapeGrid(figures.x, ys.size(), figures.min_y, size);
  figures.cells = int64_t{figures.shape.ncols} * figures.shape.nrows;
  CheckGridFitsInMemory(figures.shape, how.max_grid_bytes);
  ThrowIfError(CheckRun());
  if (writing) ThrowIfError(body.Create());
  if (!LatticeFillsGridInOrder(xs, ys, figures.shape, figures.x.min_x, figures.max_y)) {
    return LatticePass::kNotALattice;
  }
  const std::string header = AsciiGridHeader(figures.shape);
  if (writing) ThrowIfError(body.Finish(header, rows.south_first(), grid));
  if (collector.active()) {
    *handed =
        collector.Finish(figures.shape.ncols, figures.shape.nrows, rows.south_first(), header);
  }
  return LatticePass::kGridded;
}

}  // namespace terravox
