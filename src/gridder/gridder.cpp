// ConvertXyzFile: reads the points, shapes the grid, places the points and writes the grid, and
// is the one place where the gridder's failures are reported (message box or error log).
#include "gridder/gridder.h"

#include <tbb/task_arena.h>

#include <filesystem>
#include <functional>
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
Status RunOnThreads(int threads, const std::function<Status()>& body) {
  if (threads <= 1) return body();
  tbb::task_arena arena(threads);
  return arena.execute(body);
}

// The whole grid must be one that could be held in memory as single-precision cells, even though
// it is written row by row: otherwise a few points far apart would stream terabytes to the disk.
void CheckGridFitsInMemory(const GridShape& shape, uint64_t max_grid_bytes) {
  const uint64_t cells = static_cast<uint64_t>(shape.ncols) * static_cast<uint64_t>(shape.nrows);
  if (cells > max_grid_bytes / sizeof(float)) throw StepError(ErrorKind::kOutOfMemory);
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
  reading.threads = how.threads;
  if (how.chunk_bytes > 0) reading.piece_bytes = how.chunk_bytes;
  gridded.error = RunUnderHandler([&]() -> Status {
    ThrowIfError(reader.Open(strXyzFile));
    // The grid would replace the very points it is made from.
    if (std::error_code ec; std::filesystem::equivalent(strXyzFile, strAscFile, ec)) {
      throw StepError(Error(ErrorKind::kOther, "The output file is the input file"));
    }
    FilePoints points;
    bool fits = false;
    {
      ProgressSpan span(0.0, kReadShare);
      ThrowIfError(RunOnThreads(how.threads, [&] {
        fits = ReadPoints(reader, reading, points);
        return Status::Ok();
      }));
    }
    if (!fits) {
      gridded.outcome = GriddedFile::Outcome::kMisfit;
      return Status::Ok();
    }
    reader.Close();
    if (points.empty()) throw StepError(ErrorKind::kSubscriptOutOfRange);

    GridShape shape = ShapeGrid(points, cell_size(points));
    CheckGridFitsInMemory(shape, how.max_grid_bytes);
    ThrowIfError(CheckRun(kReadShare));
    ThrowIfError(gridded.grid.Create(strAscFile));
    ThrowIfError(RunOnThreads(how.threads, [&] {
      PlacedPoints placed = PlacePoints(points, shape, how.threads);
      ProgressSpan span(kWriteFrom, 1.0);
      return WriteAsciiGrid(gridded.grid, shape, placed, how.threads);
    }));
    gridded.outcome = GriddedFile::Outcome::kWritten;
    return Status::Ok();
  });
  return gridded;
}

XyzGridding GriddingFor(const BatchMdl& mdl, const RunOptions& options) {
  XyzGridding how;
  how.separator = mdl.strSeparator;
  how.threads = ThreadsPerFile(options);
  how.chunk_bytes = options.gridder_chunk_bytes;
  how.max_grid_bytes = options.max_grid_bytes;
  return how;
}

Status ConvertXyzFile(const std::string& strXyzFile, const std::string& strAscFile, Host& host,
                      BatchMdl& mdl, const RunOptions& options, GriddedFile* prepared) {
  GriddedFile gridded = prepared != nullptr
                            ? std::move(*prepared)
                            : GridXyzFile(strXyzFile, strAscFile, GriddingFor(mdl, options),
                                          [&](const FilePoints& points) {
                                            return host.CellSizeGiven()
                                                       ? GivenCellSize(host.CellSizeText())
                                                       : DerivedCellSize(points);
                                          });
  if (gridded.outcome == GriddedFile::Outcome::kMisfit) {
    host.MsgBox(strXyzFile + " does not fit the format you setting!", "Please Check xyz file");
    mdl.bRunOk = false;
    host.SetStatus("");
    return Status::Ok();
  }
  Status status = gridded.error;
  if (status.ok() && gridded.outcome == GriddedFile::Outcome::kWritten) {
    status = gridded.grid.Commit();
  }
  if (status.ok()) return Status::Ok();
  // A stopped run is no failure of this file: nothing is logged, and the stop goes on up.
  if (IsCancelled(status)) return status;

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

}  // namespace terravox
