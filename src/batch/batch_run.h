// RunBatch: the batch run behind "Go", shared by the window and the command line.
#pragma once

#include "core/batch_mdl.h"
#include "core/host.h"
#include "core/run_options.h"

namespace terravox {

// kInterrupted: the run stopped because options.control asked it to.
enum class RunOutcome { kFinished, kStopped, kInterrupted };

// Validates the settings, chains the steps the input kind and the extra operations call for
// while mdl.bRunOk holds, shows the final "Program is Finished" or "Program is Stopped" message
// and empties the status line. An error that escapes a step ends the run with a "Program is
// Stopped" box naming it. A stop requested through options.control ends the run at the next
// check of a long loop with the box "Program is Stopped" / "Interrupted": temporaries are
// removed, committed outputs stay, and nothing is logged or shown for the interrupted file.
RunOutcome RunBatch(Host& host, BatchMdl& mdl, const RunOptions& options = {});

}  // namespace terravox
