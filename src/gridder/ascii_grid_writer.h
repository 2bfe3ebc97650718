// WriteAsciiGrid: the ESRI ASCII grid file of placed points.
#pragma once

#include <string>

#include "core/pending_file.h"
#include "core/status.h"
#include "gridder/grid_layout.h"

namespace terravox {

// The six header lines: each keyword padded to 14 characters, then its value (doubles %.15G-style,
// the cell size %.7G-style), each line ending in CR LF.
std::string AsciiGridHeader(const GridShape& shape);

// Writes the header and nrows rows of ncols values separated by single blanks, north row first;
// every line ends in CR LF. The file appears under path only when all of it was written; an
// existing file there is replaced. With more than one thread, blocks of rows are formatted at once
// and written in order: the bytes are the same.
Status WriteAsciiGrid(const std::string& path, const GridShape& shape, const PlacedPoints& placed,
                      int threads = 1);
// The same into a created pending file, left for the caller to commit.
Status WriteAsciiGrid(PendingFile& file, const GridShape& shape, const PlacedPoints& placed,
                      int threads = 1);

}  // namespace terravox
