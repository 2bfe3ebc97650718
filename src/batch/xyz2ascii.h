// XYZ2ASCII: the folder loop that grids every file of the XYZ folder into the ASCII folder.
#pragma once

#include "core/batch_mdl.h"
#include "core/host.h"
#include "core/run_options.h"
#include "core/status.h"

namespace terravox {

// Passes every file of the XYZ folder to ConvertXyzFile, writing <base name>.asc into the
// ASCII folder, with a progress caption per file. Failures of single files are handled
// by the gridder and do not stop the loop. The returned status is not OK only for an error that
// escapes the loop (the folder cannot be listed, an old output cannot be deleted, the error log
// cannot be written); the batch run then ends.
Status XYZ2ASCII(Host& host, BatchMdl& mdl, const RunOptions& options = {});

}  // namespace terravox
