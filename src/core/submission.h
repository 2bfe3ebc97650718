// The submission a run belongs to: the id that ties the tasks of one cluster submission together.
#pragma once

#include <string>

namespace terravox {

// TERRAVOX_SUBMISSION when set (submit.sh sets it), else SLURM_ARRAY_JOB_ID, else "": up to the
// first line end.
std::string CurrentSubmission();

}  // namespace terravox
