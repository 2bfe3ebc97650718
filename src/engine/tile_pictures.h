// MakeTilePictures: a tile's quick-look pictures made from its outputs through GDAL: the GRID's
// hillshade with its contour lines drawn over it, and its slope in the colour ramp, as PNG files.
#pragma once

#include <memory>
#include <string>

#include "core/quicklook.h"
#include "core/status.h"
#include "engine/raster.h"
#include "engine/raster_dataset.h"

namespace terravox::engine {

// A picture's longest side at most, in pixels; a GRID with fewer cells on its longest side is
// drawn larger, up to kMinPictureSide, so that its contour lines stay lines.
inline constexpr int kMaxPictureSide = 512;
inline constexpr int kMinPictureSide = 128;

struct TileSources {
  std::string grid;      // the tile's GRID
  std::string slope;     // its slope GRID (degrees); empty: none
  std::string contours;  // its contour Shapefile (.shp); empty: none
};

// What the pictures take from memory in place of reading a tile's GRID and slope GRID.
struct TileCells {
  std::shared_ptr<const HeldGrid> grid;  // the GRID's cells held (held_grid.h); none: read
  const Raster* slope = nullptr;         // the slope as its GRID was stored from; none: read
};

// The size in pixels of a tile's pictures for a GRID of ncols x nrows cells: the GRID's shape,
// its longest side kept within kMinPictureSide .. kMaxPictureSide.
struct PictureSize {
  int width;
  int height;
};
PictureSize PictureSizeFor(int ncols, int nrows);

// Writes the hillshade picture to hillshade_png and, given a slope GRID, the slope picture to
// slope_png (from in_memory's cells where given): RGBA PNG files of PictureSizeFor the GRID,
// no-data transparent. Returns the tile's figures and the paths written. Fails with GDAL's message
// when an input cannot be read or a picture cannot be written; a picture written before the failure
// is left to the caller.
Result<Quicklook> MakeTilePictures(const TileSources& sources, const std::string& hillshade_png,
                                   const std::string& slope_png, const TileCells& cells = {});

// The extent and coordinate system of an ESRI ASCII grid or a GRID, for a tile without pictures:
// a Quicklook with no picture and no figure.
Result<Quicklook> ReadRasterExtent(const std::string& path);

}  // namespace terravox::engine
