// CreateSlopes: the slope GRID of one GRID raster.
#pragma once

#include <string>

#include "batch/batch_mdl.h"
#include "batch/host.h"
#include "batch/status.h"
#include "gis/engine.h"

namespace terravox::gis {

// Makes the slope of pRasterDs in degrees and stores it as the GRID
// <strExportFolder>/<raster name>, removing an old GRID of that name first. Once an old GRID's
// folder was found, failures are handled here ("File Error-<description>" titled "Program was
// interrupted", mdl.bRunOk cleared) and the status is OK; before that, and whenever no such
// folder existed, failures escape to the caller (not OK). Never removes or overwrites its own
// input raster.
Status CreateSlopes(Host& host, BatchMdl& mdl, const RasterDataset& pRasterDs,
                    const std::string& strExportFolder);

}  // namespace terravox::gis
