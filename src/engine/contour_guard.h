// The contour guard: refuses an interval that would keep the contour step busy for hours and
// fill the disk, from a few figures of the raster, before any contour is made. No GDAL in this
// header: a plan of the run asks the same guard.
#pragma once

#include <cstdint>
#include <string>

#include "core/status.h"
#include "engine/raster_dataset.h"

namespace terravox::engine {

// What the guard needs to know of a raster's cells (no-data cells left out).
struct ContourFigures {
  bool has_data = false;  // any cell holds a value
  double min = 0;         // lowest and highest value
  double max = 0;
  // The 2 x 2 windows of cells that hold a value, and the sum over them of the highest minus
  // the lowest of their values: a level crosses about relief / interval windows in all, and the
  // contour lines have about that many points.
  int64_t windows = 0;
  double relief = 0;
};

// The most levels over the data range.
inline constexpr double kMaxContourLevels = 1e6;
// The most level crossings whatever the raster's size (about 20 bytes of output each)...
inline constexpr double kMaxContourCrossings = 1e6;
// ... or, when more, this many for each window on average: lines closer than a hundredth of a
// cell draw nothing a survey holds. A 1000 x 1000 DEM of 500 m relief at interval 0.5 has a few.
inline constexpr double kMaxContourCrossingsPerWindow = 100;

// The figures of the GRID, read from every cell (two rows at a time): its statistics file is
// only a claim about them. Fails as opening or reading the GRID fails.
Result<ContourFigures> ReadContourFigures(const RasterDataset& input);
// The same of an ESRI ASCII grid or GRID at path, for a plan of the run, which must see the figures
// of a grid before the run makes its GRID.
Result<ContourFigures> ReadContourFiguresAt(const std::string& path);

// OK when contours at interval (finite, > 0) over a raster of these figures stay within the
// bounds above; otherwise the error the contour step fails with, before it writes anything.
Status CheckContourWork(const ContourFigures& figures, double interval);

}  // namespace terravox::engine
