// The options of a batch run, shared by run and plan: the window's settings, the shard, the
// report, resume and the number of jobs.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "batch/headless_host.h"
#include "core/batch_mdl.h"
#include "core/run_options.h"
#include "core/status.h"

namespace terravox::cli {

struct RunFlags {
  std::string input;
  std::string xyz_dir;
  std::string cell_size;
  std::string separator = "Space";
  std::string ascii_dir;
  std::string grid_dir;
  std::string contour_dir;
  std::string contour_start;
  std::string contour_interval;
  std::string slope_dir;
  std::string log;
  std::string shard;
  std::string manifest;
  std::string report;
  bool resume = false;
  bool keep_going = false;
  std::string submission;
  std::string cog_dir;
  std::string contour_gpkg;
  bool quicklook = false;
  bool no_hand_over = false;
  int jobs = 0;
};

// The synopsis of those options for the usage text.
extern const char* const kRunSynopsis;

// Adds the options to sub, bound to flags.
void AddRunFlags(CLI::App& sub, RunFlags& flags);

// The window's settings and the run options as the parsed flags give them, the way a user would
// fill the window. A shard's error log and report get names of their own. The error is a usage
// problem, worded for the user.
Status ApplyRunFlags(const CLI::App& sub, const RunFlags& flags, HeadlessHost& host, BatchMdl& mdl,
                     RunOptions& options);

}  // namespace terravox::cli
