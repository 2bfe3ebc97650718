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

// The whole grid must be one that could be held in memory as single-precision cells, even though
// it is written row by row: otherwise a few points far apart would stream terabytes to the disk.
void CheckGridFitsInMemory(const GridShape& shape, uint64_t max_grid_bytes) {
  const uint64_t cells = static_cast<uint64_t>(shape.ncols) * static_cast<uint64_t>(shape.nrows);
  if (cells > max_grid_bytes / sizeof(float)) throw StepError(ErrorKind::kOutOfMemory);
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
    if (!ReadPoints(reader, mdl.strSeparator, points)) {
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
    CheckGridFitsInMemory(shape, options.max_grid_bytes);
    PlacedPoints placed = PlacePoints(points, shape);
    ThrowIfError(WriteAsciiGrid(strAscFile, shape, placed));
    return Status::Ok();
  });
  if (status.ok()) return Status::Ok();

  // Escaped before the echo too: a name holding CR LF must not forge a line in either place.
  const std::string log_line =
      EscapeControlCharacters(strXyzFile + " Error-" + status.description());
  if (options.on_log_line) options.on_log_line(log_line);
  // A log that cannot be written leaves the gridder: the run has to stop and say why.
  if (Status s = AppendErrorLog(options.error_log_path, log_line); !s.ok()) return s;
  mdl.bRunOk = false;
  reader.Close();
  host.SetStatus("");
  return Status::Ok();
}

}  // namespace terravox
