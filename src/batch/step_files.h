// The per-file seams every step shares: the shard's share of a listing, skipping what a resumed
// run already did, and telling the report what became of each file.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "core/file_record.h"
#include "core/folder_listing.h"
#include "core/run_options.h"

namespace terravox {

// Each step counts its files in a 16-bit counter: one more file than this overflows it.
inline constexpr int kMaxStepFiles = 32767;

// Keeps only the files of the run's shard.
void KeepShardFiles(const RunOptions& options, FileList& files);

// True when the run resumes and the step's outputs of input are done.
bool AlreadyDone(const RunOptions& options, const char* step, const std::string& input,
                 const std::vector<std::string>& outputs);

// Reports the file as skipped (done by an earlier run); output names what it would have written.
void ReportSkipped(const RunOptions& options, const char* step, const std::string& input,
                   const std::string& output);

// True when the run keeps going past failed files and the tile of this file name (its base
// name) failed an earlier step: its later steps are skipped, with no record.
bool TileFailedEarlier(const RunOptions& options, std::string_view file_name);

// Passes the record to the report, if one is written.
void ReportFile(const RunOptions& options, const FileRecord& record);

// The cells of the GRID at path when a report is asked for (the figure costs an open), else -1.
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
