// GridLatticeFile: the gridder's streaming pass, for files whose points form a full lattice
// written row by row. It holds a few rows, not every point, whatever the size of the file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/pending_file.h"
#include "gridder/file_points.h"
#include "gridder/grid_layout.h"
#include "gridder/handed_grid.h"
#include "gridder/xyz_reader.h"

namespace terravox {

// The share of a file's progress that the streaming pass reports, over its reading.
inline constexpr double kStreamShare = 0.95;

// The cell size of a file's grid, asked once its points are read (and only when it has some).
using CellSizeChoice = std::function<float(const XExtent& x)>;

// How the streaming pass reads and writes a file.
struct LatticeGridding {
  std::string separator = " ";
  int threads = 1;
  size_t piece_bytes = size_t{2} << 20;       // bytes parsed at once by one of several threads
  uint64_t max_grid_bytes = UINT64_MAX;       // a larger grid is "Out of memory"
  size_t row_buffer_bytes = size_t{4} << 20;  // rows gathered before they are written
  CellHandOver* hand_over = nullptr;          // where the grid's cells may be handed on
};

// What the pass found of a file, as the in-memory reading would tell it.
struct LatticeFigures {
  int64_t points = -1;  // data points; -1 until the file was read whole
  int64_t cells = -1;   // columns x rows; -1 until the grid was shaped
  XExtent x;            // valid once points >= 0
  double min_y = 0;
  double max_y = 0;
  // The heights as single-precision cells hold them, valid once points > 0; found only by a pass
  // that writes no grid (a plan of the run asks them).
  float min_z = 0;
  float max_z = 0;
  bool has_cell_size = false;
  GridShape shape;  // valid once cells >= 0
};

enum class LatticePass {
  kGridded,      // the whole grid is in the pending file
  kMisfit,       // a data line does not fit the separator
  kNotALattice,  // the file must be read whole: nothing was reported or kept
};

// What the head of a file (its first whole lines, about head_bytes) tells of its way through the
// gridder, read from the start of the open reader's file.
struct LatticeHead {
  bool failing = false;       // a data line of the head fails: the file's outcome is decided there
  bool may_stream = false;    // the points so far can begin a lattice written row by row
  bool seen_as_rows = false;  // and two rows of it are seen, or the whole file is one full row
  size_t bytes = 0;           // bytes of the head
  size_t rows = 0;            // rows begun in the head
  size_t columns = 0;         // points in the first row
};
LatticeHead ReadLatticeHead(XyzLineReader& reader, const std::string& separator, size_t head_bytes);

// Reads the open reader's file from its start. While its points form a lattice written row by
// row (every row the same x values, west to east; rows north to south or south to north; any
// line ends, comment lines anywhere), the rows' texts are formatted as they come and, when grid is
// given, written under a temporary name beside target; the pass then ends with the whole grid in
// grid, byte for byte what reading the whole file into memory gives. Without grid it only finds
// the figures. With handed (and a grid), the grid's cells as the ASCII step reads them back are
// gathered for the hand-over, when it has room for them. For any other file (shuffled, repeated or
// missing points, rows in another order, a lattice that lands in the grid otherwise) it returns
// kNotALattice. Failures are those of the in-memory way for the same file, in the same order, and
// throw StepError: a failing data line, the cell size, a grid too large, the file that cannot be
// created, a point outside the grid, a failed write.
LatticePass GridLatticeFile(XyzLineReader& reader, const LatticeGridding& how,
                            const CellSizeChoice& cell_size, const std::string& target,
                            LatticeFigures& figures, PendingFile* grid,
                            std::optional<PendingCells>* handed = nullptr);

}  // namespace terravox
