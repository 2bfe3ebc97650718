// Whether a raster's declared size may be believed before its cells are read: a GRID's header
// and bounds are small files that can claim any size, and readers allocate what they claim.
#pragma once

#include <cstdint>
#include <string>

#include "core/status.h"

namespace terravox::engine {

// Cells a GRID may declare beyond those its tile indexes hold blocks for. GDAL's reader takes
// such cells for no-data, as GRIDs whose last rows hold none may omit their blocks; a few million
// cost little, and a real GRID's index holds blocks for most of its cells.
inline constexpr int64_t kMaxUnbackedCells = int64_t{1} << 22;

// OK when the ncols x nrows cells the GRID at path declares are backed by its tile indexes
// (backed_cells: index entries times cells per block) up to max(backed_cells,
// kMaxUnbackedCells) cells without a block; otherwise an error naming the GRID and both figures.
Status CheckDeclaredSizeBacked(const std::string& path, int64_t ncols, int64_t nrows,
                               int64_t backed_cells);

// "Out of memory", as the gridder says it, when copies single-precision copies of cells would
// not fit in memory_bytes.
Status CheckCellsFitInMemory(int64_t cells, int copies, uint64_t memory_bytes);

}  // namespace terravox::engine
