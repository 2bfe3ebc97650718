// HoldGrid: a GRID raster's cells held in memory for the operations on it (slope, contours, COG,
// pictures), so that they read the GRID once, or not at all when the step that wrote it handed
// its cells on.
#pragma once

#include <memory>
#include <span>

#include "core/cell_handover.h"
#include "engine/raster_dataset.h"

namespace terravox::engine {

// The raster with its cells held: handed's when given and of the GRID's size, else read once. The
// GRID is opened through GDAL's reader for its size, georeferencing, no-data value and coordinate
// system, and every operation sees the held raster as it would see the GRID. The raster as given
// when the GRID cannot be opened so, holds no float cells, or its cells cannot be read: each
// operation then reads the GRID itself and fails in its own words. Stops with the run.
// The held raster serves the thread that holds it; copies of it must not go to other threads.
RasterDataset HoldGrid(const RasterDataset& raster, std::shared_ptr<const HandedCells> handed);

// The held cells, row by row from the north, as GDAL's reader gives the GRID's band 1.
std::span<const float> HeldCells(const HeldGrid& held);

}  // namespace terravox::engine
