// ConvertXyzFile: reads the points, shapes the grid, places the points and writes the grid, and
// is the one place where the gridder's failures are reported (message box or error log).
#include "gridder/gridder.h"

#include <tbb/task_arena.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <limits>
#include <system_error>

#include "core/run_control.h"
#include "gridder/ascii_grid_writer.h"
#include "gridder/error_log.h"
#include "gridder/grid_layout.h"
#include "gridder/point_reading.h"
#include "gridder/xyz_line.h"
#include "gridder/xyz_reader.h"

namespace terravox {
namespace {

// Runs body on up to threads threads: in an arena of its own when more than one, so that this
// file takes no more of the cores than it was given; on the calling thread alone for one.
constexpr const char* kFormatMismatch = " does not fit the format you setting!";

Status RunOnThreads(int threads, const std::function<Status()>& body) {
  if (threads <= 1) return body();
  tbb::task_arena arena(threads);
  return arena.execute(body);
}

// What the streaming pass found, as the file's figures, also when it throws.
template <typename Pass>
LatticePass PassKeepingFigures(GriddedFile& gridded, LatticeFigures& figures, Pass&& pass) {
  try {
    LatticePass result = pass();
    gridded.points = figures.points;
    gridded.cells = figures.cells;
    return result;
  } catch (...) {
    gridded.points = figures.points;
    gridded.cells = figures.cells;
    throw;
  }
}

// Reading the points is most of a file's work; placing them and writing the grid the rest.
constexpr double kReadShare = 0.6;
constexpr double kWriteFrom = 0.7;

}  // namespace

GriddedFile GridXyzFile(const std::string& strXyzFile, const std::string& strAscFile,
                        const XyzGridding& how, const CellSizeChoice& cell_size) {
  GriddedFile gridded;
  XyzLineReader reader;
  PointReading reading;
  reading.separator = how.separator;
  if (how.chunk_bytes > 0) reading.piece_bytes = how.chunk_bytes;
  gridded.error = RunUnderHandler([&]() -> Status {
    ThrowIfError(reader.Open(strXyzFile));
    // A file of less than two pieces gains nothing from more threads, while a task arena and
    // waking its threads cost more than such a file's whole work: it stays on this thread.
    const int threads = reader.file_size() < 2 * reading.piece_bytes ? 1 : how.threads;
    reading.threads = threads;
    ThrowIfError(CheckGridIsNotInput(strXyzFile, strAscFile));
    // Where the streaming pass left the progress: the whole reading goes on from there.
    double progress_done = 0;
    if (how.stream_lattices) {
      LatticeGridding streaming{how.separator, threads, reading.piece_bytes, how.max_grid_bytes};
      streaming.hand_over = how.hand_over;
      LatticeFigures figures;
      const LatticePass pass = PassKeepingFigures(gridded, figures, [&] {
        LatticePass result = LatticePass::kNotALattice;
        ThrowIfError(RunOnThreads(threads, [&] {
          result = GridLatticeFile(reader, streaming, cell_size, strAscFile, figures, &gridded.grid,
                                   &gridded.handed);
          return Status::Ok();
        }));
        return result;
      });
      if (pass == LatticePass::kGridded) {
        gridded.outcome = GriddedFile::Outcome::kWritten;
        return Status::Ok();
      }
      if (pass == LatticePass::kMisfit) {
        gridded.outcome = GriddedFile::Outcome::kMisfit;
        return Status::Ok();
      }
      // Not a lattice written row by row: the whole file is read into memory, from its start.
      progress_done = kStreamShare * static_cast<double>(reader.bytes_read()) /
                      static_cast<double>(std::max<size_t>(reader.file_size(), 1));
      ThrowIfError(reader.Rewind());
    }
    const ProgressSpan rest(progress_done, 1.0);
    FilePoints points;
    bool fits = false;
    {
      ProgressSpan span(0.0, kReadShare);
      ThrowIfError(RunOnThreads(threads, [&] {
        fits = ReadPoints(reader, reading, points);
        return Status::Ok();
      }));
    }
    if (!fits) {
      gridded.outcome = GriddedFile::Outcome::kMisfit;
      gridded.points = -1;
      return Status::Ok();
    }
    reader.Close();
    gridded.points = static_cast<int64_t>(points.size());
    if (points.empty()) throw StepError(ErrorKind::kSubscriptOutOfRange);

    GridShape shape = ShapeGrid(points, cell_size(points.x_extent()));
    gridded.cells = int64_t{shape.ncols} * shape.nrows;
    CheckGridFitsInMemory(shape, how.max_grid_bytes);
    ThrowIfError(CheckRun(kReadShare));
    ThrowIfError(gridded.grid.Create(strAscFile));
    ThrowIfError(RunOnThreads(threads, [&] {
      PlacedPoints placed = PlacePoints(points, shape, threads);
      ProgressSpan span(kWriteFrom, 1.0);
      if (Status s = WriteAsciiGrid(gridded.grid, shape, placed, threads); !s.ok()) return s;
      gridded.handed = HandedGridOf(how.hand_over, shape, placed, AsciiGridHeader(shape));
      return Status::Ok();
    }));
    gridded.outcome = GriddedFile::Outcome::kWritten;
    return Status::Ok();
  });
  return gridded;
}

Status CheckGridIsNotInput(const std::string& strXyzFile, const std::string& strAscFile) {
  // The grid would replace the very points it is made from.
  if (std::error_code ec; std::filesystem::equivalent(strXyzFile, strAscFile, ec)) {
    return Error(ErrorKind::kOther, "The output file is the input file");
  }
  return Status::Ok();
}

CellSizeChoice CellSizeFromSettings(bool given, std::string given_text) {
  return [given, text = std::move(given_text)](const XExtent& x) {
    return given ? GivenCellSize(text) : DerivedCellSize(x);
  };
}

XyzGridding GriddingFor(const BatchMdl& mdl, const RunOptions& options) {
  XyzGridding how;
  how.separator = mdl.strSeparator;
  how.threads = ThreadsPerFile(options);
  how.chunk_bytes = options.gridder_chunk_bytes;
  how.max_grid_bytes = options.max_grid_bytes;
  how.stream_lattices = !options.gridder_in_memory;
  how.hand_over = options.hand_over;
  return how;
}

Status ConvertXyzFile(const std::string& strXyzFile, const std::string& strAscFile, Host& host,
                      BatchMdl& mdl, const RunOptions& options, GriddedFile* prepared,
                      GridFigures* figures) {
  GridFigures unused;
  if (figures == nullptr) figures = &unused;
  GriddedFile gridded =
      prepared != nullptr
          ? std::move(*prepared)
          : GridXyzFile(strXyzFile, strAscFile, GriddingFor(mdl, options), [&](const XExtent& x) {
              return host.CellSizeGiven() ? GivenCellSize(host.CellSizeText()) : DerivedCellSize(x);
            });
  figures->points = gridded.points;
  figures->cells = gridded.cells;
  if (gridded.outcome == GriddedFile::Outcome::kMisfit) {
    figures->error = strXyzFile + kFormatMismatch;
    host.MsgBox(figures->error, "Please Check xyz file");
    mdl.bRunOk = false;
    host.SetStatus("");
    return Status::Ok();
  }
  Status status = gridded.error;
  if (status.ok() && gridded.outcome == GriddedFile::Outcome::kWritten) {
    const Result<FileStamp> stamp = gridded.grid.Stamp();
    status = gridded.grid.Commit();
    if (status.ok() && stamp.ok() && gridded.handed && options.hand_over != nullptr) {
      gridded.handed->cells->files = {{"", *stamp}};
      options.hand_over->Keep(strAscFile, std::move(gridded.handed->cells),
                              std::move(gridded.handed->room));
    }
  }
  if (status.ok()) return Status::Ok();
  // A stopped run is no failure of this file: nothing is logged, and the stop goes on up.
  if (IsCancelled(status)) return status;

  figures->error = status.description();
  // Escaped before the echo too: a name holding CR LF must not forge a line in either place.
  const std::string log_line =
      EscapeControlCharacters(strXyzFile + " Error-" + status.description());
  if (options.on_log_line) options.on_log_line(log_line);
  // A log that cannot be written leaves the gridder: the run has to stop and say why.
  if (Status s = AppendErrorLog(options.error_log_path, log_line); !s.ok()) return s;
  mdl.bRunOk = false;
  host.SetStatus("");
  return Status::Ok();
}

XyzScan ScanXyzFile(const std::string& path, const std::string& separator, bool cell_size_given,
                    const std::string& cell_size_text, uint64_t max_grid_bytes) {
  XyzScan scan;
  scan.cell_size_given = cell_size_given;
  XyzLineReader reader;
  PointReading reading;
  reading.separator = separator;
  const CellSizeChoice cell_size = CellSizeFromSettings(cell_size_given, cell_size_text);
  // The figures of the streaming pass, also when it throws.
  LatticeFigures figures;
  auto take_figures = [&] {
    scan.points = figures.points;
    if (figures.points < 0) return;
    scan.min_x = figures.x.min_x;
    scan.max_x = figures.x.max_x;
    scan.min_y = figures.min_y;
    scan.max_y = figures.max_y;
    scan.min_z = figures.min_z;
    scan.max_z = figures.max_z;
    if (figures.has_cell_size) scan.cell_size = figures.shape.cell_size;
    if (figures.cells >= 0) scan.shape = figures.shape;
  };
  Status status = RunUnderHandler([&]() -> Status {
    ThrowIfError(reader.Open(path));
    LatticePass pass = LatticePass::kNotALattice;
    try {
      LatticeGridding scanning;
      scanning.separator = separator;
      scanning.max_grid_bytes = max_grid_bytes;
      pass = GridLatticeFile(reader, scanning, cell_size, path, figures, nullptr);
    } catch (...) {
      take_figures();
      throw;
    }
    take_figures();
    if (pass == LatticePass::kMisfit) scan.error = path + kFormatMismatch;
    if (pass != LatticePass::kNotALattice) return Status::Ok();

    ThrowIfError(reader.Rewind());
    FilePoints points;
    if (!ReadPoints(reader, reading, points)) {
      scan.error = path + kFormatMismatch;
      return Status::Ok();
    }
    scan.points = static_cast<int64_t>(points.size());
    if (points.empty()) throw StepError(ErrorKind::kSubscriptOutOfRange);
    scan.min_x = points.min_x();
    scan.max_x = points.max_x();
    scan.min_y = points.min_y();
    scan.max_y = points.max_y();
    scan.min_z = std::numeric_limits<float>::max();
    scan.max_z = std::numeric_limits<float>::lowest();
    for (const PointSet& piece : points.pieces()) {
      for (double z : piece.z()) {
        scan.min_z = std::min(scan.min_z, static_cast<float>(z));
        scan.max_z = std::max(scan.max_z, static_cast<float>(z));
      }
    }
    scan.cell_size = cell_size(points.x_extent());
    scan.shape = ShapeGrid(points, scan.cell_size);
    // The run's checks, in its order: the grid's size, then each point's place.
    CheckGridFitsInMemory(scan.shape, max_grid_bytes);
    CheckPlacement(points, scan.shape);
    return Status::Ok();
  });
  if (!status.ok()) scan.error = status.description();
  return scan;
}

}  // namespace terravox
