// ShapefileDataset: a contour Shapefile made by MakeContours, under a temporary name until
// renamed.
#pragma once

#include <string>
#include <utility>

#include "core/status.h"

namespace terravox::engine {

class ShapefileDataset {
 public:
  ShapefileDataset(std::string folder, std::string name)
      : folder_(std::move(folder)), name_(std::move(name)) {}
  // Folder, separator and name, without extension.
  std::string GetDatasetPath() const;
  const std::string& name() const { return name_; }

  // Renames every file of the Shapefile. Fails when a .shp, .shx or .dbf of the new name
  // exists; stale companion files of the new name (.prj, .cpg, .sbn, .sbx) are replaced.
  Status SetDatasetName(const std::string& name);

  // Deletes every file of the Shapefile (all files named <name>.<anything>).
  Status RemoveDataset() const;

 private:
  std::string folder_;
  std::string name_;
};

}  // namespace terravox::engine
