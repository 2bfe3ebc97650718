// The per-file report of a run as JSON Lines: one object per file per step, then one object for
// the run's end. Written as the run goes, so a run that is killed leaves what it finished.
#pragma once

#include <string>
#include <vector>

#include "batch/report_reader.h"
#include "core/file_record.h"
#include "core/shard.h"
#include "core/status.h"
#include "core/unique_fd.h"

namespace terravox {

// The step names of the records that start and end a run.
inline constexpr const char* kRunStartStep = "start";
inline constexpr const char* kRunEndStep = "run";

// The lines of a report, without their line end. A name that is no UTF-8 is written readable
// (its stray bytes as \xHH) under its key and exactly, in hex, under key + "_hex", so two such
// names never read back as one.
std::string FileRecordLine(const FileRecord& record);
// {"step":"start","submission":...,"shard":"K/N","steps":[...],"keep_going":..,"resume":..}
std::string RunStartLine(const RunStart& start);
// {"step":"run","outcome":"finished"|"stopped","message":TITLE,"text":TEXT}, plus "signal" when
// a signal stopped the run, "cause" when a box told why before, and "shard":"K/N" for one of
// several shards.
std::string RunEndLine(const RunEnd& end, const Shard& shard);

class ReportWriter {
 public:
  // Opens path, emptied first unless append. Like the error log, it is never opened through a
  // symbolic link and only written as a regular file, so a path in a folder others can write
  // to cannot redirect our writes. The error names the report and the reason.
  static Result<ReportWriter> Open(const std::string& path, bool append);

  // {"step","input","output","outcome","error","seconds","points","cells","settings",
  // "input_size","input_time"}, then "quicklook" (the tile's pictures and figures) when the
  // record has them; unknown figures are null.
  void Write(const FileRecord& record) { WriteLine(FileRecordLine(record)); }
  void WriteRunStart(const RunStart& start) { WriteLine(RunStartLine(start)); }
  void WriteRunEnd(const RunEnd& end, const Shard& shard) { WriteLine(RunEndLine(end, shard)); }

  // OK while every line was written whole; else the first failure, naming the report and the
  // reason (a full disk, say). Nothing is written after a failure, so no line follows a cut one.
  const Status& status() const { return status_; }

 private:
  ReportWriter(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
  // One write per line, so a killed run cuts no line but the one being written.
  void WriteLine(std::string line);
  UniqueFd fd_;
  std::string path_;
  Status status_ = Status::Ok();
};

// The file records of a report, of every run that wrote to it (ReadReport). A missing file is an
// error; a line that is no record (one cut off by a killed run) is skipped.
Result<std::vector<FileRecord>> ReadFileRecords(const std::string& path);

}  // namespace terravox
