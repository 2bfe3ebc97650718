// CheckCond: validation of the window's settings before a batch run does any work.
#pragma once

#include "core/batch_mdl.h"
#include "core/host.h"
#include "core/status.h"

namespace terravox {

// Runs the applicable checks in their fixed order; the first failure shows its message box and
// ends validation with mdl.bRunOk unchanged. Sets mdl.bRunOk only when every check passed.
// Returns an error, with no message shown and mdl.bRunOk unchanged, when a folder cannot be
// tested at all (its description: the reason, then the folder text); the caller ends the run.
Status CheckCond(Host& host, BatchMdl& mdl);

}  // namespace terravox
