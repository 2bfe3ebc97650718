// ConvertXyzFile: the gridder, which turns one XYZ point file into one ESRI ASCII grid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/batch_mdl.h"
#include "core/host.h"
#include "core/pending_file.h"
#include "core/run_options.h"
#include "core/status.h"
#include "gridder/grid_layout.h"
#include "gridder/handed_grid.h"
#include "gridder/lattice_gridder.h"

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
// options.error_log_path; options.on_log_line, when set, sees each log line. A grid whose
// single-precision cells would take more than options.max_grid_bytes takes the error path as
// "Out of memory" before anything is written.
//
// prepared, when given, is GridXyzFile's result for the same files, worked out ahead (on another
// thread): it is reported and committed exactly as if it were worked out here. A committed grid
// whose cells were gathered is handed to options.hand_over, stamped as written.
struct GriddedFile;
// figures, when given, receives the file's figures and its failure text.
Status ConvertXyzFile(const std::string& strXyzFile, const std::string& strAscFile, Host& host,
                      BatchMdl& mdl, const RunOptions& options = {},
                      GriddedFile* prepared = nullptr, GridFigures* figures = nullptr);

// The cell size the settings choose: the given text read to single precision, or the one derived
// from the x spacing.
CellSizeChoice CellSizeFromSettings(bool given, std::string given_text);

// How one file is read and written: its field separator, the threads it may use, and the bytes
// parsed as one piece (0: the default).
struct XyzGridding {
  std::string separator = " ";
  int threads = 1;
  size_t chunk_bytes = 0;
  uint64_t max_grid_bytes = UINT64_MAX;  // a larger grid is "Out of memory"
  // A lattice written row by row is gridded in one streaming pass (GridLatticeFile); false reads
  // every file whole into memory. The grid and every failure are the same either way.
  bool stream_lattices = true;
  // Where the grid's cells may be handed on to the ASCII step; none: they are not gathered.
  CellHandOver* hand_over = nullptr;
};
// The gridding of a run's files: the run's separator and options.
XyzGridding GriddingFor(const BatchMdl& mdl, const RunOptions& options);

// What the gridder made of one XYZ file before anything is shown, logged or committed.
struct GriddedFile {
  enum class Outcome { kWritten, kMisfit, kFailed };
  Outcome outcome = Outcome::kFailed;
  Status error;         // kFailed: what goes to the error log
  PendingFile grid;     // kWritten: the whole grid under a hidden temporary name beside strAscFile
  int64_t points = -1;  // data points read; -1 until the file was read whole
  int64_t cells = -1;   // columns x rows; -1 until the grid was shaped
  // kWritten, with a hand-over that had room: the grid's cells, kept once the grid is committed.
  std::optional<PendingCells> handed;
};

// Reads the points of strXyzFile, split by separator, and writes their grid under a temporary
// name beside strAscFile. Touches nothing else: safe to run for several files at once.
GriddedFile GridXyzFile(const std::string& strXyzFile, const std::string& strAscFile,
                        const XyzGridding& how, const CellSizeChoice& cell_size);

// The failure of a file whose grid would be the file itself (the same file by another name, in an
// XYZ folder that is the ASCII folder); OK otherwise. GridXyzFile checks it once the file opens.
Status CheckGridIsNotInput(const std::string& strXyzFile, const std::string& strAscFile);

// What gridding a file would find, without writing anything: the same reading, cell size,
// shape and placing as ConvertXyzFile, so the figures equal those of a run. A lattice written row
// by row is read in a streaming pass, in little memory.
struct XyzScan {
  int64_t points = -1;  // -1 when reading failed before the end, as in the run's report
  bool cell_size_given = false;
  float cell_size = 0;                                // 0 when it could not be had
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;  // valid when points > 0
  GridShape shape;                                    // ncols 0 until shaped
  float min_z = 0, max_z = 0;  // the heights as single-precision cells hold them; with points > 0
  std::string error;           // the failure the run would report (log text or message); "" if none
};
// Holds the file's points, never their placing. max_grid_bytes: as XyzGridding's.
XyzScan ScanXyzFile(const std::string& path, const std::string& separator, bool cell_size_given,
                    const std::string& cell_size_text, uint64_t max_grid_bytes = UINT64_MAX);

}  // namespace terravox
