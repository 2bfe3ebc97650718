// ShapefileDataset: a contour Shapefile made by MakeContours, under a temporary name until
// renamed.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/status.h"

namespace terravox::engine {

class ShapefileDataset {
 public:
  ShapefileDataset(std::string folder, std::string name)
      : folder_(std::move(folder)), name_(std::move(name)) {}
  // A Shapefile whose files are known to be name + each of suffixes (".shp", ".dbf", ...): renaming
  // it then needs no listing of the folder, which holds thousands of files in a large run.
  ShapefileDataset(std::string folder, std::string name, std::vector<std::string> suffixes)
      : folder_(std::move(folder)), name_(std::move(name)), suffixes_(std::move(suffixes)) {}
  // Folder, separator and name, without extension.
  std::string GetDatasetPath() const;
  const std::string& name() const { return name_; }
  // Keeps this process's lock in the folder (core/owner_lock.h) while the Shapefile bears a
  // temporary name.
  void HoldOwnerLockUntilRenamed(std::shared_ptr<const void> owner_lock) {
    owner_lock_ = std::move(owner_lock);
  }

  // Renames every file of the Shapefile. Fails when a .shp, .shx or .dbf of the new name
  // exists; stale companion files of the new name (.prj, .cpg, .sbn, .sbx) are replaced.
  Status SetDatasetName(const std::string& name);

  // Deletes every file of the Shapefile (all files named <name>.<anything>).
  Status RemoveDataset() const;

 private:
  std::string folder_;
  std::string name_;
  std::vector<std::string> suffixes_;  // empty: unknown, found by listing the folder
  std::shared_ptr<const void> owner_lock_;
};

}  // namespace terravox::engine
