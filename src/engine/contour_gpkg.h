// ContourGeoPackage: the contour lines of every tile in one layer of one GeoPackage, written a
// tile at a time, each tile in one transaction.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/status.h"

namespace terravox::engine {

// The layer and its fields: the tile's name beside the contour Shapefile's own ID and CONTOUR.
inline constexpr const char* kContourLayer = "contours";
inline constexpr const char* kTileField = "tile";

class ContourGeoPackage {
 public:
  // The GeoPackage at path, ready to take tiles. keep: what an earlier run left there stays (none
  // there: a new one is made); otherwise a new, empty GeoPackage replaces any file at path, made
  // under a temporary name and renamed, so a failure leaves the old file as it was.
  static Result<ContourGeoPackage> Open(const std::string& path, bool keep);
  ContourGeoPackage(ContourGeoPackage&&) noexcept;
  ContourGeoPackage& operator=(ContourGeoPackage&&) noexcept;
  ~ContourGeoPackage();

  const std::string& path() const;

  // True when the layer holds a line of tile.
  Result<bool> HasTile(const std::string& tile);

  // Puts the lines of the contour Shapefile at shp_path in the layer as tile's, in place of the
  // tile's lines there before, in one transaction: stopped or killed at any point, the
  // GeoPackage holds the tile whole or as it was. The layer takes the first tile's coordinate
  // system; a tile in another one is refused.
  Status ReplaceTile(const std::string& tile, const std::string& shp_path);

  // Copies every tile of the GeoPackages at inputs, in tile order (as a run visits them), each
  // tile replacing its lines here; a tile in several inputs is taken from the last. The inputs
  // are only read.
  Status MergeFrom(const std::vector<std::string>& inputs);

  // Closes the GeoPackage; a failure to write its last pages shows here.
  Status Close();

 private:
  struct Impl;
  explicit ContourGeoPackage(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace terravox::engine
