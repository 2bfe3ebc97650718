// RunOptions: what a batch run takes besides the window's settings.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include <vector>
#include "core/physical_memory.h"

#include "core/file_record.h"
#include "core/paths.h"
#include "core/shard.h"
#include "core/user_state.h"

namespace terravox {

class CellHandOver;
class RunControl;

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
  // Files worked on at once; 0 means one per core. 1 is the plain one-file-at-a-time run.
  int jobs = 0;
  // Bytes the files worked on at once may hold together; 0 means half the physical memory.
  uint64_t memory_budget = 0;
  // Threads one file may use (reading, formatting and writing it); 0 means every core. With 1 a
  // file is done on the calling thread alone. The output is the same whatever the count.
  int threads_per_file = 0;
  // Bytes of an XYZ file parsed as one piece when a file is spread over threads; 0 means the
  // default. Tests set it small to put piece borders between every few lines.
  size_t gridder_chunk_bytes = 0;
  // Read every XYZ file whole into memory, even a lattice written row by row that the gridder
  // would grid in one streaming pass: the grids are the same; for comparing the two.
  bool gridder_in_memory = false;
  // The most bytes of single-precision cells a grid may take: a larger grid could not be held in
  // memory and is refused as "Out of memory" before anything is written. Lowered in tests.
  uint64_t max_grid_bytes = PhysicalMemoryBytes();
  // The run's stop request and progress sink; none: the run cannot be stopped.
  RunControl* control = nullptr;
  // The share of the tiles this run takes; every step sees only the shard's files.
  Shard shard;
  // Where to write the per-file report (JSON Lines); empty for none.
  std::string report_path;
  // The report is the user's own record (the window's): its folder is made for this user alone,
  // and a report that cannot be written never stops the run or changes its message; the error
  // log gets one line saying why instead. Otherwise such a report stops the run.
  bool report_in_user_state = false;
  // Skip a file whose outputs exist, are newer than it and are recorded as ok in the report
  // at report_path; new records are then appended to it.
  bool resume = false;
  // The submission this run belongs to (a cluster job's), recorded in the report; may be empty.
  std::string submission;
  // A file that fails a step is reported and its own later steps are skipped, while every other
  // file goes on through every step; the run then ends stopped, naming the failures. Off in the
  // window, which keeps the stop at the first failing step.
  bool keep_going = false;
  // Outputs beside the usual ones; empty for none. Each GRID and slope GRID the run makes is
  // also written as a Cloud-Optimized GeoTIFF into cog_dir (NAME.tif, NAME_slope.tif), and every
  // tile's contour lines go into the GeoPackage contour_gpkg.
  std::string cog_dir;
  std::string contour_gpkg;
  // Where the raster walk puts each tile's quick-look pictures; empty for none.
  std::string quicklook_folder;
  // Each step hands the cells of the grids it writes to the next step in memory, within a share
  // of the memory budget, instead of the next step reading them back; the outputs are the same.
  bool hand_over_cells = true;
  // Set by the batch run when cells are handed over (core/cell_handover.h).
  CellHandOver* hand_over = nullptr;

  // Set by the batch run from the fields above; the steps call them per file when set.
  std::function<void(const FileRecord& record)> on_file;
  // True when the step's outputs of input are already done and the file is to be skipped.
  std::function<bool(const std::string& step, const std::string& input,
                     const std::vector<std::string>& outputs)>
      already_done;
  // With keep_going: true when a tile (a base name) failed an earlier step of this run.
  std::function<bool(const std::string& tile)> tile_failed;
};

// The window's run options: the fixed error log, and the report in the user's state folder.
inline RunOptions WindowRunOptions() {
  RunOptions options;
  if (const std::string folder = UserStateFolder(); !folder.empty()) {
    options.report_path = JoinPath(folder, "xyz2ascii.report.jsonl");
  }
  options.report_in_user_state = true;
  return options;
}
// The threads a file gets: the count asked for; else one in a one-job run (the plain run on one
// core), else the run's jobs, else every core.
inline int ThreadsPerFile(const RunOptions& options) {
  if (options.threads_per_file > 0) return options.threads_per_file;
  if (options.jobs > 0) return options.jobs;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace terravox
