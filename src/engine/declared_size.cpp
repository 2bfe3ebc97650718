// The two checks of a declared raster size: against the files behind it, and against memory.
#include "engine/declared_size.h"

#include <algorithm>

namespace terravox::engine {

Status CheckDeclaredSizeBacked(const std::string& path, int64_t ncols, int64_t nrows,
                               int64_t backed_cells) {
  // Sides come from a 32-bit reader, so the product stays far inside 64 bits.
  const int64_t declared = ncols * nrows;
  if (declared - backed_cells <= std::max(backed_cells, kMaxUnbackedCells)) return Status::Ok();
  return EngineError("'" + path + "' declares " + std::to_string(ncols) + " x " +
                     std::to_string(nrows) + " cells, but its tile index holds blocks for only " +
                     std::to_string(backed_cells) + " of them, so the GRID is not read");
}

Status CheckCellsFitInMemory(int64_t cells, int copies, uint64_t memory_bytes) {
  const uint64_t per_cell = sizeof(float) * static_cast<uint64_t>(copies);
  if (cells < 0 || static_cast<uint64_t>(cells) > memory_bytes / per_cell) {
    return Error(ErrorKind::kOutOfMemory);
  }
  return Status::Ok();
}

}  // namespace terravox::engine
