// CheckCond: validation of the window's settings before a batch run does any work.
#pragma once

#include "core/batch_mdl.h"
#include "core/host.h"

namespace terravox {

// Runs the applicable checks in their fixed order; the first failure shows its message box and
// ends validation with mdl.bRunOk unchanged. Sets mdl.bRunOk only when every check passed.
void CheckCond(Host& host, BatchMdl& mdl);

}  // namespace terravox
