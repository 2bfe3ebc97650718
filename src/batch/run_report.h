// The per-file report of a run as JSON Lines: one object per file per step, then one object for
// the run's end. Written as the run goes, so a run that is killed leaves what it finished.
#pragma once

#include <string>
#include <vector>

#include "core/file_record.h"
#include "core/shard.h"
#include "core/status.h"
#include "core/unique_fd.h"

namespace terravox {

// The step name of the record that ends a run.
inline constexpr const char* kRunEndStep = "run";

class ReportWriter {
 public:
  // Opens path, emptied first unless append. Like the error log, the window's report lives in a
  // shared folder: it is never opened through a symbolic link and only written as a regular
  // file. The error names the report and the reason.
  static Result<ReportWriter> Open(const std::string& path, bool append);

  // {"step","input","output","outcome","error","seconds","points","cells"}, then "quicklook"
  // (the tile's pictures and figures) when the record has them; unknown figures are null.
  void Write(const FileRecord& record);
  // {"step":"run","outcome":"finished"|"stopped","message":...}, plus "shard":"K/N" for a shard.
  void WriteRunEnd(bool finished, const std::string& message, const Shard& shard);

 private:
  explicit ReportWriter(UniqueFd fd) : fd_(std::move(fd)) {}
  // One write per line, so a killed run cuts no line but the one being written.
  void WriteLine(std::string line);
  UniqueFd fd_;
};

// The file records of a report (the run-end records left out). A missing file is an error; a
// line that is no JSON object (one cut off by a killed run) is skipped.
Result<std::vector<FileRecord>> ReadFileRecords(const std::string& path);

}  // namespace terravox
