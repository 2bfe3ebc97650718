// ConvertXyzFile: reads the points, shapes the grid, places the points and writes the grid, and
// is the one place where the gridder's failures are reported (message box or error log).
#include "gridder/gridder.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <system_error>

#include "core/run_control.h"
#include "gridder/ascii_grid_writer.h"
#include "gridder/error_log.h"
#include "gridder/grid_layout.h"
#include "gridder/point_set.h"
#include "gridder/xyz_line.h"
#include "gridder/xyz_reader.h"

namespace terravox {
namespace {

// Lines read between two looks at the run's stop request: a few milliseconds of work.
constexpr int32_t kLinesPerCheck = 1 << 16;

// Reading the points is most of a file's work; placing them and writing the grid the rest.
constexpr double kReadShare = 0.6;
constexpr double kWriteFrom = 0.7;

// Reads every data line of the file into points. Returns false at the first line that does not
// fit the separator. Throws StepError for every other failure.
bool ReadPoints(XyzLineReader& reader, const std::string& separator, PointSet& points) {
  XyzLineParser parser(separator);
  int32_t data_lines = 0;
  std::string_view line;
  XyzPoint point;
  while (reader.Next(&line)) {
    if (IsCommentLine(line)) continue;
    if (data_lines == std::numeric_limits<int32_t>::max()) {
      throw StepError(ErrorKind::kOverflow);
    }
    ++data_lines;
    if (data_lines % kLinesPerCheck == 0 && reader.file_size() > 0) {
      ThrowIfError(CheckRun(static_cast<double>(reader.bytes_read()) /
                            static_cast<double>(reader.file_size())));
    }
    if (!parser.Parse(line, &point)) return false;
    points.Add(point);
  }
  ThrowIfError(reader.status());
  return true;
}

}  // namespace

Status ConvertXyzFile(const std::string& strXyzFile, const std::string& strAscFile, Host& host,
                      BatchMdl& mdl, const RunOptions& options) {
  XyzLineReader reader;
  Status status = RunUnderHandler([&]() -> Status {
    ThrowIfError(reader.Open(strXyzFile));
    // The grid would replace the very points it is made from.
    if (std::error_code ec; std::filesystem::equivalent(strXyzFile, strAscFile, ec)) {
      throw StepError(Error(ErrorKind::kOther, "The output file is the input file"));
    }
    PointSet points;
    // Unused room costs no memory until touched; short XYZ lines run to about 20 bytes.
    points.Reserve(reader.file_size() / 20);
    bool fits = false;
    {
      ProgressSpan reading(0.0, kReadShare);
      fits = ReadPoints(reader, mdl.strSeparator, points);
    }
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
    ThrowIfError(CheckRun(kReadShare));
    PlacedPoints placed = PlacePoints(points, shape);
    ProgressSpan writing(kWriteFrom, 1.0);
    ThrowIfError(WriteAsciiGrid(strAscFile, shape, placed));
    return Status::Ok();
  });
  if (status.ok()) return Status::Ok();
  // A stopped run is no failure of this file: nothing is logged, and the stop goes on up.
  if (IsCancelled(status)) return status;

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
