// A one-cell border around a raster held in memory, continuing the surface linearly, so that a
// 3x3 window (Horn's slope) has a full neighbourhood at every cell of the raster, corners included.
#pragma once

#include <cstddef>
#include <span>

namespace terravox::engine {

// Cells of a raster of ncols x nrows kept with a one-cell border: (ncols + 2) x (nrows + 2)
// cells, row by row. REQUIRES: ncols >= 1, nrows >= 1.
inline std::size_t PaddedCellCount(int ncols, int nrows) {
  return (static_cast<std::size_t>(ncols) + 2) * (static_cast<std::size_t>(nrows) + 2);
}

// Fills the border of `padded` (PaddedCellCount(ncols, nrows) cells, the raster in its inner
// ncols x nrows cells). Each border cell is 2 * edge - inner, edge and inner being the two cells
// inward from it; rows are extended west and east first, then every column (the new ones
// included) north and south, so a corner continues a plane in both directions. A border cell
// is no-data when its edge or inner cell is no-data; where the raster is one cell across, it
// repeats the edge cell. No-data cells are NaN or equal to nodata (which may be NaN); no-data
// border cells get the value nodata.
// REQUIRES: ncols >= 1, nrows >= 1, padded.size() == PaddedCellCount(ncols, nrows).
void ExtrapolateBorder(std::span<float> padded, int ncols, int nrows, float nodata);

}  // namespace terravox::engine
