// RunOptions: what a batch run takes besides the window's settings.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/file_record.h"
#include "core/shard.h"

namespace terravox {

// Where the gridder appends one line per failed XYZ file.
#ifdef _WIN32
inline constexpr const char* kErrorLogPath = "c:\\temp\\xyz2ascii.log";
#else
inline constexpr const char* kErrorLogPath = "/tmp/xyz2ascii.log";
#endif

struct RunOptions {
  std::string error_log_path = kErrorLogPath;
  // Called with each line the gridder logs (without its line end), before it is written;
  // the command line echoes them.
  std::function<void(const std::string& line)> on_log_line;

  // Files worked on at once; 0 means one per core.
  int jobs = 0;
  // The share of the tiles this run takes; every step sees only the shard's files.
  Shard shard;
  // Where to write the per-file report (JSON Lines); empty for none.
  std::string report_path;
  // Skip a file whose outputs exist, are newer than it and are recorded as ok in the report
  // at report_path; new records are then appended to it.
  bool resume = false;

  // Set by the batch run from the fields above; the steps call them per file when set.
  std::function<void(const FileRecord& record)> on_file;
  // True when the step's outputs of input are already done and the file is to be skipped.
  std::function<bool(const std::string& step, const std::string& input,
                     const std::vector<std::string>& outputs)>
      already_done;
};

// The report beside an error log: "/tmp/xyz2ascii.log" gives "/tmp/xyz2ascii.report.jsonl".
inline std::string ReportPathBeside(const std::string& error_log_path) {
  const size_t dot = error_log_path.rfind('.');
  const size_t separator = error_log_path.find_last_of("/\\");
  const bool has_extension =
      dot != std::string::npos && (separator == std::string::npos || dot > separator + 1);
  return error_log_path.substr(0, has_extension ? dot : std::string::npos) + ".report.jsonl";
}

// The window's run options: the fixed error log, and the report beside it.
inline RunOptions WindowRunOptions() {
  RunOptions options;
  options.report_path = ReportPathBeside(options.error_log_path);
  return options;
}

}  // namespace terravox
