// Quicklook: a tile's pictures and the figures a report page shows of it (extent, coordinate
// system, height range, steepest slope, contour lines), as made from the tile's outputs.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace terravox {

struct Quicklook {
  std::string hillshade{};  // PNG: the GRID's hillshade with its contour lines drawn over it
  std::string slope{};      // PNG: the slope in the colour ramp; empty when the tile has no slope
  // The GRID's extent in its coordinate system.
  double west = 0;
  double south = 0;
  double east = 0;
  double north = 0;
  std::string srs_name{};  // the coordinate system's name; empty when the GRID has none
  std::string unit{};      // the name of its horizontal unit ("metre"); empty when unknown
  double z_min = NAN;      // NaN when the GRID has no valid cell
  double z_max = NAN;
  double slope_max = NAN;      // degrees; NaN without a slope
  int64_t contour_lines = -1;  // -1 without contours
};

}  // namespace terravox
