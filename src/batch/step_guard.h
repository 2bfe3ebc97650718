// RunGuarded: runs one batch step and turns anything that escapes it, a returned error or a
// stray exception, into a Status the batch run can show.
#pragma once

#include <functional>

#include "batch/status.h"

namespace terravox {

// The step's own status, or the error of an exception it let escape: StepError gives its error,
// a filesystem error the standard text of its cause followed by the path, bad_alloc
// "Out of memory", any other std::exception its what() text.
Status RunGuarded(const std::function<Status()>& step);

}  // namespace terravox
