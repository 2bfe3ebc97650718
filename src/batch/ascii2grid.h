// ASCII2GRID: the folder loop that converts every file of the ASCII folder into a GRID raster.
#pragma once

#include "core/batch_mdl.h"
#include "core/host.h"
#include "core/run_options.h"
#include "core/status.h"

namespace terravox {

// Converts each file of the ASCII folder into a GRID of its base name in the GRID folder
// replacing an existing GRID of that name. The first failure shows "Program was
// interrupted" with "<input path> Error-<description>", empties the status line, clears mdl.bRunOk
// and ends the loop. Errors are all handled here; the status is for symmetry with the other steps
// and is always OK.
Status ASCII2GRID(Host& host, BatchMdl& mdl, const RunOptions& options = {});

}  // namespace terravox
