// ConvertXyzFile: the gridder, which turns one XYZ point file into one ESRI ASCII grid.
#pragma once

#include <string>

#include "core/batch_mdl.h"
#include "core/host.h"
#include "core/run_options.h"
#include "core/status.h"

namespace terravox {

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
// options.error_log_path; options.on_log_line, when set, sees each log line. A grid whose
// single-precision cells would take more than options.max_grid_bytes takes the error path as
// "Out of memory" before anything is written.
Status ConvertXyzFile(const std::string& strXyzFile, const std::string& strAscFile, Host& host,
                      BatchMdl& mdl, const RunOptions& options = {});

}  // namespace terravox
