// ConvertXyzFile: the gridder, which turns one XYZ point file into one ESRI ASCII grid.
#pragma once

#include <string>

#include "core/batch_mdl.h"
#include "core/host.h"
#include "core/run_options.h"
#include "core/status.h"
#include "gridder/grid_layout.h"

namespace terravox {

// What the per-file report tells of one gridded file.
struct GridFigures {
  int64_t points = -1;  // data lines read; -1 until the file was read
  int64_t cells = -1;   // columns x rows; -1 until the grid was shaped
  std::string error;    // what the user was told of a failure; empty on success
};

// Converts the points of strXyzFile into the grid strAscFile, reading the cell-size choice
// (CellSizeGiven, CellSizeText) from the host and the field separator from mdl.strSeparator.
//
// A failure is handled here: a line that does not fit the separator shows a message box, any
// other failure appends "<strXyzFile> Error-<description>" to the error log; both clear
// mdl.bRunOk and empty the status line, and nothing is written at strAscFile (the grid is written
// under a temporary name and renamed only when complete; an earlier file there is for the caller to
// remove first). Success replaces strAscFile and leaves bRunOk and the status line untouched. The
// returned status is not OK only when the error log itself could not be written: that error escapes
// to the caller, its description naming the log file and the reason. The log is
// options.error_log_path; options.on_log_line, when set, sees each log line.
// figures, when given, receives the file's figures and its failure text.
Status ConvertXyzFile(const std::string& strXyzFile, const std::string& strAscFile, Host& host,
                      BatchMdl& mdl, const RunOptions& options = {},
                      GridFigures* figures = nullptr);

// What gridding a file would find, without writing anything: the same reading, cell size,
// shape and placing as ConvertXyzFile, so the figures equal those of a run.
struct XyzScan {
  int64_t points = -1;  // -1 when reading failed before the end, as in the run's report
  bool cell_size_given = false;
  float cell_size = 0;                                // 0 when it could not be had
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;  // valid when points > 0
  GridShape shape;                                    // ncols 0 until shaped
  std::string error;  // the failure the run would report (log text or message); "" if none
};
XyzScan ScanXyzFile(const std::string& path, const std::string& separator, bool cell_size_given,
                    const std::string& cell_size_text);

}  // namespace terravox
