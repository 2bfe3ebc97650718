// ConvertXyzFile: reads the points, shapes the grid, places the points and writes the grid, and
// is the one place where the gridder's failures are reported (message box or error log).
#include "gridder/gridder.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <system_error>

#include "gridder/ascii_grid_writer.h"
#include "gridder/error_log.h"
#include "gridder/grid_layout.h"
#include "gridder/point_set.h"
#include "gridder/xyz_line.h"
#include "gridder/xyz_reader.h"

namespace terravox {
namespace {

constexpr const char* kFormatMismatch = " does not fit the format you setting!";

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
    if (!parser.Parse(line, &point)) return false;
    points.Add(point);
  }
  ThrowIfError(reader.status());
  return true;
}

}  // namespace

Status ConvertXyzFile(const std::string& strXyzFile, const std::string& strAscFile, Host& host,
                      BatchMdl& mdl, const RunOptions& options, GridFigures* figures) {
  GridFigures unused;
  if (figures == nullptr) figures = &unused;
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
    if (!ReadPoints(reader, mdl.strSeparator, points)) {
      figures->error = strXyzFile + kFormatMismatch;
      host.MsgBox(figures->error, "Please Check xyz file");
      mdl.bRunOk = false;
      reader.Close();
      host.SetStatus("");
      return Status::Ok();
    }
    reader.Close();
    figures->points = static_cast<int64_t>(points.size());
    if (points.empty()) throw StepError(ErrorKind::kSubscriptOutOfRange);

    float cell_size =
        host.CellSizeGiven() ? GivenCellSize(host.CellSizeText()) : DerivedCellSize(points);
    GridShape shape = ShapeGrid(points, cell_size);
    figures->cells = int64_t{shape.ncols} * shape.nrows;
    PlacedPoints placed = PlacePoints(points, shape);
    ThrowIfError(WriteAsciiGrid(strAscFile, shape, placed));
    return Status::Ok();
  });
  if (status.ok()) return Status::Ok();

  figures->error = status.description();
  std::string log_line = strXyzFile + " Error-" + status.description();
  if (options.on_log_line) options.on_log_line(log_line);
  // A log that cannot be written leaves the gridder: the run has to stop and say why.
  if (Status s = AppendErrorLog(options.error_log_path, log_line); !s.ok()) return s;
  mdl.bRunOk = false;
  reader.Close();
  host.SetStatus("");
  return Status::Ok();
}

XyzScan ScanXyzFile(const std::string& path, const std::string& separator, bool cell_size_given,
                    const std::string& cell_size_text) {
  XyzScan scan;
  scan.cell_size_given = cell_size_given;
  XyzLineReader reader;
  Status status = RunUnderHandler([&]() -> Status {
    ThrowIfError(reader.Open(path));
    PointSet points;
    points.Reserve(reader.file_size() / 20);
    if (!ReadPoints(reader, separator, points)) {
      scan.error = path + kFormatMismatch;
      return Status::Ok();
    }
    scan.points = static_cast<int64_t>(points.size());
    if (points.empty()) throw StepError(ErrorKind::kSubscriptOutOfRange);
    scan.min_x = points.min_x();
    scan.max_x = points.max_x();
    scan.min_y = points.min_y();
    scan.max_y = points.max_y();
    scan.cell_size = cell_size_given ? GivenCellSize(cell_size_text) : DerivedCellSize(points);
    scan.shape = ShapeGrid(points, scan.cell_size);
    (void)PlacePoints(points, scan.shape);  // its range checks are failures of the run too
    return Status::Ok();
  });
  if (!status.ok()) scan.error = status.description();
  return scan;
}

}  // namespace terravox
