// RunBatch: the batch run behind "Go", shared by the window and the command line.
#pragma once

#include "core/batch_mdl.h"
#include "core/host.h"
#include "core/run_options.h"

namespace terravox {

enum class RunOutcome { kFinished, kStopped };

// Validates the settings, chains the steps the input kind and the extra operations call for
// while mdl.bRunOk holds, shows the final "Program is Finished" or "Program is Stopped" message
// and empties the status line. An error that escapes a step ends the run with a "Program is
// Stopped" box naming it.
RunOutcome RunBatch(Host& host, BatchMdl& mdl, const RunOptions& options = {});

}  // namespace terravox
