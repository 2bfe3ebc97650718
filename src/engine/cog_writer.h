// WriteCog: a GRID copied into a Cloud-Optimized GeoTIFF through GDAL's COG driver, written under
// a temporary name beside its target and renamed into place by the caller.
#pragma once

#include <memory>
#include <string>

#include "core/status.h"
#include "engine/raster.h"
#include "engine/raster_dataset.h"

namespace terravox::engine {

// A finished COG under a temporary name (core/temporary_name.h) in its target's folder.
class PendingCog {
 public:
  // Takes charge of the file at temp_path, which the writer fills, for target.
  PendingCog(std::string target, std::string temp_path);
  PendingCog(PendingCog&& other) noexcept;
  PendingCog& operator=(PendingCog&& other) noexcept;
  PendingCog(const PendingCog&) = delete;
  PendingCog& operator=(const PendingCog&) = delete;
  // Removes the temporary file unless committed.
  ~PendingCog();

  const std::string& target() const { return target_; }
  const std::string& temp_path() const { return temp_path_; }
  // Renames the file to its target, replacing an older file of that name.
  Status Commit();

 private:
  std::string target_;
  std::string temp_path_;  // empty once committed or moved from
  // Shows a sweep of another run that the temporary is live; released after it is gone.
  std::shared_ptr<const void> owner_lock_;
};

// The GRID at grid_path (its folder; one still under a temporary name will do) as a COG for
// cog_path: band 1 as float32 with the GRID's cells bit for bit, its no-data value and coordinate
// system; 256 x 256 tiles compressed losslessly (DEFLATE, the heights differenced as whole
// numbers: predictor 2); and overviews of every fourth cell, every sixteenth, ... until one tile
// holds the smallest, at least one (but for one cell). cog_path may exist meanwhile; its folder
// must. Fails with GDAL's message, leaving no file. held, when given, holds the GRID's cells
// (held_grid.h): they are written without reading the GRID. threads compress the tiles (more than
// one: GDAL's pool beside this thread); the file is the same whatever their number.
Result<PendingCog> WriteCog(const std::string& grid_path, const std::string& cog_path,
                            const std::shared_ptr<const HeldGrid>& held = nullptr, int threads = 1);
// The same for a raster held in memory (a slope), with the cells and geometry its GRID gets, and
// no predictor: slopes vary too fast between neighbours for it.
Result<PendingCog> WriteCog(const Raster& raster, const std::string& cog_path, int threads = 1);

}  // namespace terravox::engine
