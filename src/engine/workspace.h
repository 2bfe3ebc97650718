// Workspace: a folder opened by the engine, whose GRID rasters can be listed and found by name.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "core/status.h"
#include "engine/dataset_enum.h"
#include "engine/raster_dataset.h"

namespace terravox::engine {

// ListDatasets kind: the raster datasets of a workspace.
inline constexpr int kRasterDatasetKind = 12;

class Workspace {
 public:
  const std::string& path() const { return path_; }

  // The datasets of a kind: for kRasterDatasetKind the ESRI GRID rasters of the folder (its
  // sub-folders holding hdr.adf and w001001.adf, or HDR.ADF and W001001.ADF), in name order;
  // other kinds give none.
  Result<DatasetEnum> ListDatasets(int kind) const;

  // The GRID of that name in this workspace, or none.
  Result<std::optional<RasterDataset>> FindRaster(const std::string& name) const;

 private:
  friend class WorkspaceOpener;
  explicit Workspace(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

}  // namespace terravox::engine
