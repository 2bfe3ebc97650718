// The per-file seams every step shares: the shard's share of a listing, skipping what a resumed
// run already did, and telling the report what became of each file.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "core/file_record.h"
#include "core/folder_listing.h"
#include "core/run_options.h"

namespace terravox {

// Each step counts its files in a 16-bit counter: one more file than this overflows it.
inline constexpr int kMaxStepFiles = 32767;

// Keeps only the files of the run's shard.
void KeepShardFiles(const RunOptions& options, FileList& files);

// When the run resumes and the step's outputs of input are done: reports the file as skipped
// (output names what it would have written) and returns true.
bool SkipIfDone(const RunOptions& options, const char* step, const std::string& input,
                const std::vector<std::string>& outputs, const std::string& output);

// Passes the record to the report, if one is written.
void ReportFile(const RunOptions& options, const FileRecord& record);

// The cells of the GRID at path when a report is written (the figure costs an open), else -1.
int64_t ReportedCells(const RunOptions& options, const std::string& grid_path);

// Seconds since construction, for the report.
class FileClock {
 public:
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace terravox
