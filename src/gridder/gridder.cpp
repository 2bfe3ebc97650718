// ConvertXyzFile: reads the points, shapes the grid, places the points and writes the grid, and
// is the one place where the gridder's failures are reported (message box or error log).
#include "gridder/gridder.h"

#include <tbb/task_arena.h>

#include <filesystem>
#include <functional>
#include <system_error>

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

}  // namespace

Status ConvertXyzFile(const std::string& strXyzFile, const std::string& strAscFile, Host& host,
                      BatchMdl& mdl, const RunOptions& options) {
  XyzLineReader reader;
  const int threads = ThreadsPerFile(options);
  PointReading how;
  how.separator = mdl.strSeparator;
  how.threads = threads;
  if (options.gridder_chunk_bytes > 0) how.piece_bytes = options.gridder_chunk_bytes;
  Status status = RunUnderHandler([&]() -> Status {
    ThrowIfError(reader.Open(strXyzFile));
    // The grid would replace the very points it is made from.
    if (std::error_code ec; std::filesystem::equivalent(strXyzFile, strAscFile, ec)) {
      throw StepError(Error(ErrorKind::kOther, "The output file is the input file"));
    }
    FilePoints points;
    bool fits = false;
    ThrowIfError(RunOnThreads(threads, [&] {
      fits = ReadPoints(reader, how, points);
      return Status::Ok();
    }));
    if (!fits) {
      host.MsgBox(strXyzFile + " does not fit the format you setting!", "Please Check xyz file");
      mdl.bRunOk = false;
      reader.Close();
      host.SetStatus("");
      return Status::Ok();
    }
    reader.Close();
    if (points.empty()) throw StepError(ErrorKind::kSubscriptOutOfRange);

    float cell_size =
        host.CellSizeGiven() ? GivenCellSize(host.CellSizeText()) : DerivedCellSize(points);
    GridShape shape = ShapeGrid(points, cell_size);
    return RunOnThreads(threads, [&] {
      PlacedPoints placed = PlacePoints(points, shape, threads);
      return WriteAsciiGrid(strAscFile, shape, placed, threads);
    });
  });
  if (status.ok()) return Status::Ok();

  std::string log_line = strXyzFile + " Error-" + status.description();
  if (options.on_log_line) options.on_log_line(log_line);
  // A log that cannot be written leaves the gridder: the run has to stop and say why.
  if (Status s = AppendErrorLog(options.error_log_path, log_line); !s.ok()) return s;
  mdl.bRunOk = false;
  reader.Close();
  host.SetStatus("");
  return Status::Ok();
}

}  // namespace terravox
