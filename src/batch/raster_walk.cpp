// GetRasterLayersFromFolder: slopes and contours for every GRID raster of the GRID folder.
#include "batch/raster_walk.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "batch/contours.h"
#include "batch/slopes.h"
#include "core/number_parse.h"
#include "core/run_control.h"
#include "engine/dataset_enum.h"
#include "engine/raster_dataset.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"

namespace terravox {
namespace {

// Runs the checked operations on one raster. slope_failed is set when CreateSlopes reported and
// handled a failure of its own.
Status VisitRaster(Host& host, BatchMdl& mdl, const engine::RasterDataset& raster,
                   bool& slope_failed) {
  if (host.RunSlope()) {
    host.SetStatus("Running : ESRI GRID--> Get Slope " + raster.GetDatasetPath());
    host.Repaint();
    // CreateSlopes tells of a handled failure only by clearing the flag; a flag of its own shows
    // that whatever the run's flag held before.
    BatchMdl slope_mdl = mdl;
    slope_mdl.bRunOk = true;
    if (Status s = CreateSlopes(host, slope_mdl, raster, host.SlopeFolder()); !s.ok()) return s;
    if (!slope_mdl.bRunOk) {
      mdl.bRunOk = false;
      slope_failed = true;
    }
  }
  if (host.RunContour()) {
    // The contours are the raster's second piece of work: their progress starts afresh.
    if (Status s = CheckRun(0.0); !s.ok()) return s;
    host.SetStatus("Running : ESRI GRID--> Get Contour " + raster.GetDatasetPath());
    host.Repaint();
    Result<double> dInterval = ParseDouble(host.ContourInterval());
    if (!dInterval.ok()) return dInterval.status();
    Result<double> dbase = ParseDouble(host.ContourBase());
    if (!dbase.ok()) return dbase.status();
    if (Status s = CreateContours(host, raster, host.ContourFolder(), *dInterval, *dbase);
        !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

}  // namespace

Status GetRasterLayersFromFolder(Host& host, BatchMdl& mdl) {
  engine::WorkspaceOpener opener;
  Result<engine::Workspace> workspace = opener.OpenFolder(host.GridFolder(), 0);
  if (!workspace.ok()) return workspace.status();
  Result<engine::DatasetEnum> rasters = workspace->ListDatasets(engine::kRasterDatasetKind);
  if (!rasters.ok()) return rasters.status();

  // The rasters are counted in a 16-bit counter: the 32,768th one overflows it.
  int visited = 0;
  bool slope_failed = false;
  for (std::optional<engine::RasterDataset> raster = rasters->NextDataset(); raster.has_value();
       raster = rasters->NextDataset()) {
    if (Status s = StartItem(visited, 0); !s.ok()) return s;
    if (visited == std::numeric_limits<int16_t>::max()) return Error(ErrorKind::kOverflow);
    ++visited;
    if (Status s = VisitRaster(host, mdl, *raster, slope_failed); !s.ok()) return s;
  }
  // A slope failure reported on the way must not be turned back into success.
  if (!slope_failed) mdl.bRunOk = true;
  return Status::Ok();
}

}  // namespace terravox
