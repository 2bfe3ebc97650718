// ResumeIndex: which files an earlier run already finished, so a resumed run skips them.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/status.h"

namespace terravox {

class ResumeIndex {
 public:
  // The files recorded as ok in the report at path; a report not yet written gives none.
  static Result<ResumeIndex> Load(const std::string& path);

  // True when the step's record for input says ok and every output exists and is newer than
  // input. A folder (a GRID) counts by its files: the oldest output file against the newest
  // input file, so a half-replaced GRID is never taken for done.
  bool Done(const std::string& step, const std::string& input,
            const std::vector<std::string>& outputs) const;

 private:
  std::set<std::pair<std::string, std::string>> ok_;  // (step, input)
};

}  // namespace terravox
