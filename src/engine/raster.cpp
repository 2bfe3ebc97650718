// Raster::StoreRaster: an in-memory raster (a slope, say) written out as a GRID.
#include <filesystem>

#include "engine/grid_format.h"
#include "engine/pending_dir.h"
#include "engine/raster.h"

namespace terravox::engine {

Status Raster::StoreRaster(const std::string& path, const Workspace* /*workspace*/,
                           const std::string& format) const {
  if (Status s = CheckGridFormat(format); !s.ok()) return s;
  std::error_code ec;
  if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found) {
    return DatasetExistsError(path);
  }
  return WriteGrid(path, geometry_, cells_);
}

Result<PendingDir> Raster::StoreRasterAhead(const std::string& path) const {
  return WriteGridAhead(path, geometry_, cells_);
}

Status Raster::CommitStored(Result<PendingDir> stored, const std::string& path) {
  std::error_code ec;
  if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found) {
    return DatasetExistsError(path);
  }
  if (!stored.ok()) return stored.error();
  return stored->Commit();
}

}  // namespace terravox::engine
