// Formatting the grid rows into a large buffer that is written out in big pieces.
#include "gridder/ascii_grid_writer.h"

#include <algorithm>
#include <vector>

#include "core/number_format.h"
#include "core/number_parse.h"
#include "core/pending_file.h"
#include "core/run_control.h"

namespace terravox {
namespace {

// Bytes gathered before each write: few system calls, bounded memory.
constexpr size_t kFlushBytes = size_t{4} << 20;

void AppendHeaderLine(std::string& out, const char* keyword, const std::string& value) {
  std::string padded(keyword);
  padded.resize(14, ' ');
  out += padded;
  out += value;
  out += "\r\n";
}

void AppendCell(std::string& out, double value) {
  // Empty cells are the bulk of sparse grids; their text is fixed.
  if (value == kNoDataValue) {
    out += "-9999";
  } else {
    AppendDouble(out, value);
  }
}

}  // namespace

Status WriteAsciiGrid(const std::string& path, const GridShape& shape, const PlacedPoints& placed) {
  // Write beside the target and rename: a failure never leaves a truncated grid.
  PendingFile file;
  if (Status s = file.Create(path); !s.ok()) return s;

  std::string out;
  out.reserve(kFlushBytes + size_t{64} * 1024);
  AppendHeaderLine(out, "ncols", FormatDouble(shape.ncols));
  AppendHeaderLine(out, "nrows", FormatDouble(shape.nrows));
  AppendHeaderLine(out, "xllcorner", FormatDouble(shape.xllcorner));
  AppendHeaderLine(out, "yllcorner", FormatDouble(shape.yllcorner));
  AppendHeaderLine(out, "cellsize", FormatSingle(shape.cell_size));
  out += "NODATA_value  -9999\r\n";

  std::vector<double> row_values(static_cast<size_t>(shape.ncols));
  size_t rows_with_points = placed.row_start.empty() ? 0 : placed.row_start.size() - 1;
  for (size_t row = 0; row < static_cast<size_t>(shape.nrows); ++row) {
    // A stop leaves the temporary file to the PendingFile, which removes it.
    if (Status s = CheckRun(static_cast<double>(row) / static_cast<double>(shape.nrows)); !s.ok()) {
      return s;
    }
    std::fill(row_values.begin(), row_values.end(), kNoDataValue);
    if (row < rows_with_points) {
      // Cells come in file order: the last point of a cell wins.
      for (size_t i = placed.row_start[row]; i < placed.row_start[row + 1]; ++i) {
        row_values[static_cast<size_t>(placed.cells[i].col)] = placed.cells[i].z;
      }
    }
    for (size_t col = 0; col < row_values.size(); ++col) {
      if (col > 0) out += ' ';
      AppendCell(out, row_values[col]);
    }
    out += "\r\n";
    if (out.size() >= kFlushBytes) {
      if (Status s = file.Write(out); !s.ok()) return s;
      out.clear();
    }
  }
  if (Status s = file.Write(out); !s.ok()) return s;
  return file.Commit();
}

}  // namespace terravox
