// ASCII2GRID: the folder loop that converts every file of the ASCII folder into a GRID raster.
#pragma once

#include "batch/batch_mdl.h"
#include "batch/host.h"
#include "batch/status.h"

namespace terravox::gis {

// Converts each file of the ASCII folder (Text6) into a GRID of its base name in the GRID folder
// (Text1), replacing an existing GRID of that name. The first failure shows "Program was
// interrupted" with "<input path> Error-<description>", empties Label6, clears mdl.bRunOk and ends
// the loop. Errors are all handled here; the status is for symmetry with the other steps and is
// always OK.
Status ASCII2GRID(Host& host, BatchMdl& mdl);

}  // namespace terravox::gis
