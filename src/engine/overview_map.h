// The overview map of a survey: every tile's picture placed at its extent on one PNG of bounded
// size, tiles without pictures in grey, failed tiles outlined in red.
#pragma once

#include <string>
#include <vector>

#include "core/status.h"

namespace terravox::engine {

// The overview's longest side at most, in pixels, whatever the number of tiles.
inline constexpr int kMaxOverviewSide = 4096;

struct OverviewTile {
  double west = 0;
  double south = 0;
  double east = 0;
  double north = 0;
  std::string picture;  // PNG drawn over the extent; empty: the extent is filled grey
  bool failed = false;  // outlined in red
};

// Pixels [left, right) x [top, bottom) of the overview.
struct PixelBox {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct OverviewLayout {
  int width = 0;
  int height = 0;
  double west = 0;  // the map coordinates of the overview's top left corner
  double north = 0;
  double pixel_size = 0;        // map units per pixel, the same across and down
  std::vector<PixelBox> boxes;  // one per tile, in the order given
};

// Where the tiles land: the overview spans the union of their extents at the pixel size of the
// finest picture (finest_pixel_size, map units per pixel; 0 when there is none), refined until its
// longest side is 512 pixels and coarsened until it fits max_side. Box edges are rounded to
// pixels, so tiles that touch on the ground touch on the map. REQUIRES: tiles not empty.
OverviewLayout LayOutOverview(const std::vector<OverviewTile>& tiles, double finest_pixel_size,
                              int max_side);

// Draws the overview of the tiles as an RGB PNG at png_path and returns its layout. A picture
// that cannot be read leaves its tile grey. Fails with GDAL's message when the PNG cannot be
// written. REQUIRES: tiles not empty.
Result<OverviewLayout> WriteOverviewMap(const std::vector<OverviewTile>& tiles,
                                        const std::string& png_path,
                                        int max_side = kMaxOverviewSide);

}  // namespace terravox::engine
