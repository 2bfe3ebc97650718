// Raster: a float raster held in memory, such as a slope, until it is stored as a GRID.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/status.h"
#include "engine/grid_writer.h"
#include "engine/pending_dir.h"
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
  // Writes the raster as a GRID for path ahead, while a dataset may still be there; the finished
  // grid waits for CommitStored.
  Result<PendingDir> StoreRasterAhead(const std::string& path) const;
  // Gives a grid stored ahead its name, failing as StoreRaster does when a dataset is there.
  static Status CommitStored(Result<PendingDir> stored, const std::string& path);

 private:
  GridGeometry geometry_;
  std::vector<float> cells_;
};

}  // namespace terravox::engine
