// RasterDataset: a GRID raster on disk; it also serves as the input of the surface operations.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/paths.h"
#include "core/status.h"

namespace terravox::engine {

struct HeldGrid;

class RasterDataset {
 public:
  // The raster at a GRID folder path; whether it is a GRID is checked by the operations.
  explicit RasterDataset(std::string_view path) : path_(AbsolutePath(path)) {}

  // The full path of the raster: absolute, platform separators, each one single (a folder typed
  // as "g2/" gives "/.../g2/a"); its last piece is the raster's name.
  std::string GetDatasetPath() const { return path_; }
  // True when this user may remove the raster's files and folder.
  bool IsDeletable() const;
  // Removes the raster's folder from disk; refuses a folder that is not a GRID.
  Status RemoveDataset() const;

  // The cells held in memory for the operations on the raster (held_grid.h); none: they read it.
  const std::shared_ptr<const HeldGrid>& held() const { return held_; }
  void Hold(std::shared_ptr<const HeldGrid> held) { held_ = std::move(held); }

 private:
  std::string path_;
  std::shared_ptr<const HeldGrid> held_;
};

}  // namespace terravox::engine
