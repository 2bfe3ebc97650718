// The outputs a run writes beside the usual ones when its options ask for them: each GRID and
// slope GRID also as a Cloud-Optimized GeoTIFF, and every tile's contour lines in one GeoPackage.
// The steps hand each finished tile to them in file order.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/run_options.h"
#include "core/status.h"
#include "engine/cog_writer.h"
#include "engine/contour_gpkg.h"

namespace terravox {

// The COG folder and the GeoPackage's folder must exist; the error names the missing one.
Status CheckExtraOutputs(const RunOptions& options);
// Before any step runs: CheckExtraOutputs, then what a killed run left in the COG folder goes.
Status PrepareExtraOutputs(const RunOptions& options);

// The threads that compress a COG's tiles, at most 4: the threads a file gets when asked for, else
// its own and the cores the run leaves idle (a run of one job on several cores); one when every
// core has a job (cores 0: unknown).
int CogThreads(const RunOptions& options, unsigned cores);

// A COG made ahead of its step, waiting for its GRID to take its name.
using PreparedCog = std::optional<Result<engine::PendingCog>>;

// The COGs of one kind of GRID: <cog_dir>/NAME<suffix>.tif. Copyable, so threads working ahead
// take their own.
class CogOutputs {
 public:
  CogOutputs(const RunOptions& options, std::string suffix)
      : folder_(options.cog_dir),
        suffix_(std::move(suffix)),
        threads_(CogThreads(options, std::thread::hardware_concurrency())) {}
  bool enabled() const { return !folder_.empty(); }

  // outputs, and the COG of tile name when COGs are written: what a resumed run finds done.
  std::vector<std::string> With(std::vector<std::string> outputs, const std::string& name) const;
  // The COG of tile name from its finished GRID at grid_path (perhaps still under a temporary
  // name), or from the raster its GRID holds; made on any thread, none when COGs are not written.
  PreparedCog Prepare(const std::string& grid_path, const std::string& name,
                      const std::shared_ptr<const engine::HeldGrid>& held = nullptr) const;
  PreparedCog Prepare(const engine::Raster& raster, const std::string& name) const;
  // Once the tile's GRID has its name, its COG takes its own; OK when there is none.
  static Status Commit(PreparedCog prepared);

 private:
  std::string PathFor(const std::string& name) const;
  std::string folder_;
  std::string suffix_;
  int threads_;
};

// The run's contour GeoPackage for the raster walk; every call does nothing when none is asked
// for or the walk makes no contours.
class ContourPackage {
 public:
  // Opens (a resumed run) or starts anew the GeoPackage of options.
  static Result<ContourPackage> Open(const RunOptions& options, bool run_contour);

  // False when the GeoPackage lacks tile name's lines: a resumed run makes them again.
  bool Holds(const std::string& name);
  // The lines of the Shapefile at shp_path become tile name's.
  Status Add(const std::string& name, const std::string& shp_path);
  Status Close();

 private:
  std::optional<engine::ContourGeoPackage> package_;
};

// The contour GeoPackages of a run's shards merged into one at output (replaced when whole; a
// failure leaves it as it was): every tile in tile order, a tile in several inputs from the last.
Status MergeContourPackages(const std::string& output, const std::vector<std::string>& inputs);

}  // namespace terravox
