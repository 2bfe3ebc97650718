// GetRasterLayersFromFolder: the walk over the GRID rasters of a folder that makes their slopes
// and contours.
#pragma once

#include "core/batch_mdl.h"
#include "core/host.h"
#include "core/run_options.h"
#include "core/status.h"

namespace terravox {

// For every raster of the GRID folder: its slope when RunSlope(), then its contours
// when Check1 is checked, reading the boxes and texts again for each raster. Sets mdl.bRunOk when
// the walk completes, unless a slope failure was reported during it. The returned status is not
// OK for an error that escapes the walk (the folder cannot be opened, a number text does not
// convert, a contour step fails); the batch run then ends.
Status GetRasterLayersFromFolder(Host& host, BatchMdl& mdl, const RunOptions& options = {});

}  // namespace terravox
