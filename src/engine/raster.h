// Raster: a float raster held in memory, such as a slope, until it is stored as a GRID.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/status.h"
#include "engine/grid_writer.h"
#include "engine/workspace.h"

namespace terravox::engine {

// Cells north to south, kGridFloatNoData for no-data.
class Raster {
 public:
  Raster(GridGeometry geometry, std::vector<float> cells)
      : geometry_(std::move(geometry)), cells_(std::move(cells)) {}
  const GridGeometry& geometry() const { return geometry_; }
  const std::vector<float>& cells() const { return cells_; }

  // Writes the raster as a GRID at that path ("GRID" is the only format; no workspace is used).
  // Fails when a dataset exists at that path.
  Status StoreRaster(const std::string& path, const Workspace* workspace,
                     const std::string& format) const;

 private:
  GridGeometry geometry_;
  std::vector<float> cells_;
};

}  // namespace terravox::engine
