// CurrentSubmission from the environment.
#include "core/submission.h"

#include <cstdlib>

namespace terravox {

std::string CurrentSubmission() {
  for (const char* name : {"TERRAVOX_SUBMISSION", "SLURM_ARRAY_JOB_ID"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string id(value);
    return id.substr(0, id.find_first_of("\r\n"));
  }
  return "";
}

}  // namespace terravox
