// ResumeIndex: which files an earlier run already finished, so a resumed run skips them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/report_reader.h"
#include "core/file_record.h"
#include "core/status.h"

namespace terravox {

// What the report keeps of an input: its bytes and its modification time in nanoseconds since
// 1970. A folder (a GRID) counts by its files: their bytes together and the newest time. -1 for
// each when the input cannot be told.
struct InputState {
  int64_t size = -1;
  int64_t time = -1;
};
InputState InputStateOf(const std::string& path);

class ResumeIndex {
 public:
  // The records of the report at path; a report not yet written gives none. Lines that are no
  // record are skipped (the file is then done again).
  static Result<ResumeIndex> Load(const std::string& path);

  // True when the step's last record for input says ok, was made with these settings from an
  // input of the same bytes and time as now, and every output exists and is not older than it.
  // A folder output (a GRID) counts by its oldest file, so a half-replaced GRID is never taken
  // for done.
  bool Done(const std::string& step, const std::string& input,
            const std::vector<std::string>& outputs, const std::string& settings) const;

  // The shard of the last run that wrote a start record, if any.
  std::optional<Shard> LastShard() const { return last_shard_; }

 private:
  // (step, input) -> the last record that did the work (ok or failed); skipped ones say nothing.
  std::map<std::pair<std::string, std::string>, FileRecord> last_;
  std::optional<Shard> last_shard_;
};

}  // namespace terravox
